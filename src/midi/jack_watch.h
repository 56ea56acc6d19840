#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include <jack/jack.h>

namespace zr70 {

/// libjack names the socket on which a client hears from its server after the
/// client alone, so a client of the same name opening on another server of the
/// machine at the same moment can take it, and the open fails. Such a failure
/// passes: an open is tried this many times more.
inline constexpr int kJackOpenRetries = 2;

/// 20 to 49 ms, drawn anew by every process: two programs whose opens met and
/// failed must not try again in step.
std::chrono::milliseconds jackRetryWait();

/// A JACK client of our own beside RtMidi's, which RtMidi keeps to itself:
/// it learns when the server goes away, counts process cycles, and reads the
/// connection graph, all without a round trip to the server.
class JackWatch {
public:
    JackWatch() = default;
    ~JackWatch() {
        // A close waits on the server; one that has stopped answering never
        // replies, so its client is left to the end of the process.
        if (client_ != nullptr && (!serverRunning() || awaitCycle())) {
            jack_client_close(client_);
        }
    }
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    /// False when no JACK server is running. A failure while the server is
    /// there is tried again, as it passes.
    bool start();

    bool serverRunning() const {
        return client_ != nullptr && !stopped_.load(std::memory_order_acquire);
    }

    std::uint64_t cycles() const { return cycles_.load(std::memory_order_acquire); }

    /// Whether the server has run a process cycle within kStallLimit. A
    /// server that is there but has stopped (a stopped process, a hung
    /// driver) shows no other sign: it calls no callback, and every request
    /// to it waits for ever.
    bool answering() const;

    /// Waits for the server's next cycle: true once it came, false when the
    /// server has gone or has run none for kStallLimit. Before a request
    /// that waits on the server, as answering() may still hold for a while
    /// after the server has stopped.
    bool awaitCycle() const;

    /// Longer than the slowest cycle a server runs (PipeWire's longest
    /// quantum, 8192 frames at 48 kHz, takes 171 ms).
    static constexpr std::chrono::milliseconds kStallLimit{800};

    /// `base`, or `base` with a number, whichever no JACK client uses yet, so
    /// that the name of RtMidi's port is known.
    std::string unusedClientName(const std::string& base) const;

    bool connected(const std::string& source, const std::string& destination) const;

    /// Whether the server is PipeWire's, through its own libjack.
    bool pipeWire() const { return pipeWire_; }

private:
    bool open(const std::string& name, jack_status_t& status);

    /// Whether the socket of the server that clients of this process open on
    /// is there: the server runs, or has just started or stopped.
    static bool serverSocketExists();

    static int processCycle(jack_nframes_t, void* watch);
    static void serverStopped(jack_status_t, const char*, void* watch);
    static void serverGone(void* watch);
    static std::int64_t nowNanoseconds();

    jack_client_t* client_ = nullptr;
    bool pipeWire_ = false;
    std::atomic<bool> stopped_{false};
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<std::int64_t> lastCycle_{0}; ///< steady clock, in nanoseconds
};

} // namespace zr70
