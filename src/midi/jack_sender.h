#pragma once

#include "midi/midi_output.h"

#include <jack/ringbuffer.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace zr70 {

/// The real-time half of the JACK output: a ring of messages that the caller
/// fills and the server's process callback empties into our port, counting
/// what it wrote. A caller that waits for the callback is woken by it, not by
/// polling; the callback takes no lock, and makes a system call only to wake
/// a caller that waits.
class JackSender {
public:
    /// How long the server may run no cycle before it counts as not
    /// answering: longer than the slowest cycle a server runs (PipeWire's
    /// longest quantum, 8192 frames at 48 kHz, takes 171 ms). A server that
    /// is there but has stopped shows no other sign.
    static constexpr std::chrono::milliseconds kStallLimit{800};

    JackSender();
    ~JackSender();
    JackSender(const JackSender&) = delete;
    JackSender& operator=(const JackSender&) = delete;

    // The caller's side.

    /// An output opens or closes: what is still in the ring is never written.
    void reset();
    /// A copy of `message` into the ring; false when it does not fit, as when
    /// the callback has stopped taking messages.
    bool queue(std::span<const std::uint8_t> message);
    /// Waits until the messages queued since the last flush are in our port:
    /// how many are, and why not all are (those then never are).
    Delivery flush();
    bool sentSinceFlush() const { return queued_ > flushedTo_; }
    /// Waits until `cycles` more cycles have run after the one that wrote the
    /// last message, when anything was sent since the last reset().
    MidiResult awaitCarried(std::uint64_t cycles);
    std::uint64_t cycles() const { return cycles_.load(std::memory_order_acquire); }
    /// ServerGone once the server said it stopped, NotAnswering while no
    /// cycle ran for kStallLimit; nothing while it runs.
    std::optional<MidiError> problem() const;
    /// Waits until `done` holds, woken by every cycle, and at `*wakeBy` (which
    /// `done` may move) when that comes first; false on a problem().
    bool waitUntil(const std::function<bool()>& done,
                   const std::chrono::steady_clock::time_point* wakeBy = nullptr);

    // JACK's side.

    /// One cycle: the messages that fit go into the MIDI port's buffer `port`
    /// (nullptr while there is no port).
    void process(void* port);
    void serverStopped() { stopped_.store(true, std::memory_order_release); }

private:
    void dropQueued() { dropBefore_.store(queued_ + 1, std::memory_order_release); }

    jack_ringbuffer_t* ring_;
    // The caller's: messages are numbered from 1 as they are queued.
    std::uint64_t queued_ = 0;
    std::uint64_t resetAt_ = 0;   ///< the last message queued before the reset
    std::uint64_t flushedTo_ = 0; ///< the last message queued at the last flush
    std::atomic<std::uint64_t> dropBefore_{1};
    // Written on JACK's thread, read by the caller.
    std::atomic<std::uint64_t> written_{0}; ///< the number of the last message written
    std::atomic<std::uint64_t> writtenCycle_{0};
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<std::int64_t> lastCycle_;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> wake_{false}; ///< a caller waits for the next cycle
    sem_t woken_;
};

} // namespace zr70
