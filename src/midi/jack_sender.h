#pragma once

#include "midi/midi_output.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <semaphore.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace zr70 {

/// The real-time half of the JACK output: a ring of messages that the caller
/// fills and the server's process callback empties into our port, counting
/// what it carried. A caller that waits for the callback is woken by it, not
/// by polling; the callback takes no lock, and makes a system call only to
/// wake a caller that waits.
///
/// A message counts as carried only once a cycle that ended in time carried
/// it. A cycle of ours that ends after the server has begun its next one (the
/// process thread was held up: a loaded machine, a sanitizer) wakes the
/// receiver for that next cycle, and the receiver reads whatever our port
/// holds when it gets to run; on PipeWire that is mostly what our next cycle,
/// which runs at once, wrote instead, and the receiver is not woken again for
/// it. So a late cycle leaves our port empty, the one after it writes
/// nothing, and their messages go again in the cycle after that: a message
/// that may have arrived twice sets its parameter twice to the same value,
/// while one that was lost would leave the converter behind.
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
    /// Waits until the messages queued since the last flush are carried: how
    /// many are, and why not all are (those then never are), also when the
    /// server runs its cycles but none carries them for kStallLimit.
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

    /// One cycle of `client`: the messages that fit go into the MIDI port's
    /// buffer `port` (nullptr while there is no port).
    void process(jack_client_t* client, void* port);
    void serverStopped() { stopped_.store(true, std::memory_order_release); }

private:
    void dropQueued() { dropBefore_.store(queued_ + 1, std::memory_order_release); }
    /// Writes into `port` the messages taken before and not yet carried, then
    /// takes more from the ring, while they fit: the bytes written.
    std::size_t write(void* port);
    /// The first `bytes` taken were carried in `cycle`.
    void carried(std::size_t bytes, std::uint64_t cycle);

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
    // On JACK's thread alone: the messages taken from the ring, headers and
    // all, that no cycle has carried yet.
    std::array<char, 16 * 1024> taken_{};
    std::size_t takenSize_ = 0;
    bool lateBefore_ = false; ///< the last cycle ended after the server began the next
};

} // namespace zr70
