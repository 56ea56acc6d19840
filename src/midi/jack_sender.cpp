#include "midi/jack_sender.h"

#include <jack/midiport.h>

#include <algorithm>
#include <ctime>

namespace zr70 {
namespace {

constexpr std::size_t kRingSize = 16 * 1024; ///< room for many send-alls

struct Header {
    std::uint64_t number;
    std::uint16_t size;
};

std::int64_t nowNanoseconds() {
    // The steady clock reads the vDSO: no system call in the process cycle.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

JackSender::JackSender() : ring_(jack_ringbuffer_create(kRingSize)), lastCycle_(nowNanoseconds()) {
    ::sem_init(&woken_, 0, 0);
}

JackSender::~JackSender() {
    jack_ringbuffer_free(ring_);
    ::sem_destroy(&woken_);
}

void JackSender::reset() {
    dropQueued();
    resetAt_ = flushedTo_ = queued_;
}

bool JackSender::queue(std::span<const std::uint8_t> message) {
    const Header header{queued_ + 1, static_cast<std::uint16_t>(message.size())};
    if (message.size() > UINT16_MAX ||
        jack_ringbuffer_write_space(ring_) < sizeof header + message.size()) {
        return false;
    }
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&header), sizeof header);
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(message.data()), message.size());
    ++queued_;
    return true;
}

Delivery JackSender::flush() {
    const std::uint64_t last = queued_;
    Delivery delivery;
    delivery.sent = last - flushedTo_;
    const auto written = [this] { return written_.load(std::memory_order_acquire); };
    if (!waitUntil([&] { return written() >= last; })) {
        delivery.result = MidiResult::failure(*problem());
        // What did not leave now is not to leave later, when it is not waited for.
        dropQueued();
    }
    delivery.left = std::min(written(), last) - std::min(written(), flushedTo_);
    flushedTo_ = last;
    return delivery;
}

MidiResult JackSender::awaitCarried(std::uint64_t cycles) {
    if (queued_ > resetAt_) {
        const std::uint64_t until = writtenCycle_.load(std::memory_order_acquire) + cycles;
        if (!waitUntil([&] { return this->cycles() >= until; })) {
            return MidiResult::failure(*problem());
        }
    }
    return {};
}

std::optional<MidiError> JackSender::problem() const {
    if (stopped_.load(std::memory_order_acquire)) {
        return MidiError::ServerGone;
    }
    if (nowNanoseconds() - lastCycle_.load(std::memory_order_acquire) >=
        std::chrono::nanoseconds(kStallLimit).count()) {
        return MidiError::NotAnswering;
    }
    return std::nullopt;
}

bool JackSender::waitUntil(const std::function<bool()>& done,
                           const std::chrono::steady_clock::time_point* wakeBy) {
    while (!done()) {
        if (problem()) {
            return false;
        }
        wake_.store(true, std::memory_order_release);
        if (done()) {
            break;
        }
        // Woken by the next cycle, or after a while by a server that stopped.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
        if (wakeBy != nullptr && *wakeBy < until) {
            until = *wakeBy;
        }
        const auto nanoseconds =
            std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch()).count();
        const timespec at{static_cast<time_t>(nanoseconds / 1'000'000'000),
                          static_cast<long>(nanoseconds % 1'000'000'000)};
        ::sem_clockwait(&woken_, CLOCK_MONOTONIC, &at);
    }
    return true;
}

void JackSender::process(void* port) {
    lastCycle_.store(nowNanoseconds(), std::memory_order_release);
    const std::uint64_t cycle = cycles_.load(std::memory_order_relaxed) + 1;
    if (port != nullptr) {
        jack_midi_clear_buffer(port);
        const std::uint64_t dropBefore = dropBefore_.load(std::memory_order_acquire);
        Header header{};
        // Whole messages, while they fit; the rest goes in the next cycle.
        while (jack_ringbuffer_read_space(ring_) >= sizeof header) {
            jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(&header), sizeof header);
            if (jack_ringbuffer_read_space(ring_) < sizeof header + header.size) {
                break; // the rest of it is still being written
            }
            if (header.number < dropBefore) {
                jack_ringbuffer_read_advance(ring_, sizeof header + header.size);
                continue;
            }
            jack_midi_data_t* data = jack_midi_event_reserve(port, 0, header.size);
            if (data == nullptr) {
                break;
            }
            jack_ringbuffer_read_advance(ring_, sizeof header);
            jack_ringbuffer_read(ring_, reinterpret_cast<char*>(data), header.size);
            writtenCycle_.store(cycle, std::memory_order_relaxed);
            written_.store(header.number, std::memory_order_release);
        }
    }
    cycles_.store(cycle, std::memory_order_release);
    if (wake_.load(std::memory_order_acquire) && wake_.exchange(false)) {
        ::sem_post(&woken_);
    }
}

} // namespace zr70
