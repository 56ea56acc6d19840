#pragma once

#include <jack/ringbuffer.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

namespace zr70 {

/// The real-time half of the JACK output: a ring of messages that the caller
/// fills and the server's process callback empties into our port, one cycle
/// at a time, counting what it wrote. A caller that waits for the callback
/// (for its messages to be written, for cycles to pass) is woken by it, not
/// by polling; the callback takes no lock and makes no system call unless a
/// caller waits.
///
/// Messages are numbered from 1 in the order they were queued; the callback
/// writes them in that order.
class JackSender {
public:
    /// How long the server may run no cycle before it counts as not
    /// answering: longer than the slowest cycle a server runs (PipeWire's
    /// longest quantum, 8192 frames at 48 kHz, takes 171 ms). A server that
    /// is there but has stopped (a stopped process, a hung driver) shows no
    /// other sign: it calls no callback, and every request to it waits for
    /// ever.
    static constexpr std::chrono::milliseconds kStallLimit{800};

    JackSender();
    ~JackSender();
    JackSender(const JackSender&) = delete;
    JackSender& operator=(const JackSender&) = delete;

    // The caller's side.

    /// Puts a copy of `message` into the ring; false when it does not fit,
    /// which means the callback has stopped taking messages.
    bool queue(std::span<const std::uint8_t> message);
    /// The number of the last message queued.
    std::uint64_t queued() const { return queued_; }
    /// Messages queued so far that the callback has not written are never
    /// written: they were for an output that is closed, or were given up.
    void dropQueued() { dropBefore_.store(queued_ + 1, std::memory_order_release); }
    /// The number of the last message the callback wrote into our port.
    std::uint64_t written() const { return written_.load(std::memory_order_acquire); }
    /// The cycle that wrote it; cycles are counted from 1.
    std::uint64_t writtenInCycle() const { return writtenCycle_.load(std::memory_order_acquire); }
    std::uint64_t cycles() const { return cycles_.load(std::memory_order_acquire); }
    /// Whether a cycle ran within kStallLimit.
    bool running() const;
    /// Waits until `done` holds, woken by each cycle; false, at once, when
    /// `alive` says the server stopped, or no cycle ran for kStallLimit.
    bool waitUntil(const std::function<bool()>& done, const std::function<bool()>& alive);

    // JACK's side.

    /// One cycle: the messages that fit go into `port` (a MIDI port's buffer
    /// for the cycle, cleared here; nullptr while there is no port).
    void process(void* port);

private:
    jack_ringbuffer_t* ring_;
    std::uint64_t queued_ = 0; ///< on the caller's thread only
    std::atomic<std::uint64_t> dropBefore_{1};
    // Written on JACK's thread, read by the caller.
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> writtenCycle_{0};
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<std::int64_t> lastCycle_;
    /// A caller waits: the next cycle posts the semaphore.
    std::atomic<bool> wake_{false};
    sem_t woken_;
};

} // namespace zr70
