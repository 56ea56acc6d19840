#include "midi/jack_sender.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cstring>
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
    std::uint64_t seen = written();
    auto progressed = std::chrono::steady_clock::now();
    const bool waited = waitUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (written() != seen) {
            seen = written();
            progressed = now;
        }
        return seen >= last || now - progressed > kStallLimit;
    });
    if (!waited || written() < last) {
        delivery.result = MidiResult::failure(problem().value_or(MidiError::Stalled));
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

void JackSender::process(jack_client_t* client, void* port) {
    lastCycle_.store(nowNanoseconds(), std::memory_order_release);
    const std::uint64_t cycle = cycles_.load(std::memory_order_relaxed) + 1;
    const jack_nframes_t began = jack_last_frame_time(client);
    std::size_t bytes = 0;
    if (port != nullptr) {
        jack_midi_clear_buffer(port);
        bytes = lateBefore_ ? 0 : write(port);
    }
    lateBefore_ = jack_last_frame_time(client) != began;
    if (bytes > 0 && lateBefore_) {
        jack_midi_clear_buffer(port); // they go again
    } else if (bytes > 0) {
        carried(bytes, cycle);
    }
    cycles_.store(cycle, std::memory_order_release);
    if (wake_.load(std::memory_order_acquire) && wake_.exchange(false)) {
        ::sem_post(&woken_);
    }
}

std::size_t JackSender::write(void* port) {
    const std::uint64_t dropBefore = dropBefore_.load(std::memory_order_acquire);
    Header header{};
    std::size_t at = 0;
    while (at < takenSize_) {
        std::memcpy(&header, taken_.data() + at, sizeof header);
        const std::size_t whole = sizeof header + header.size;
        if (header.number < dropBefore) {
            std::memmove(taken_.data() + at, taken_.data() + at + whole, takenSize_ - at - whole);
            takenSize_ -= whole;
            continue;
        }
        jack_midi_data_t* data = jack_midi_event_reserve(port, 0, header.size);
        if (data == nullptr) {
            return at; // the port is full: the rest goes in a later cycle
        }
        std::memcpy(data, taken_.data() + at + sizeof header, header.size);
        at += whole;
    }
    while (jack_ringbuffer_read_space(ring_) >= sizeof header) {
        jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(&header), sizeof header);
        const std::size_t whole = sizeof header + header.size;
        if (jack_ringbuffer_read_space(ring_) < whole) {
            break; // the rest of it is still being written
        }
        if (header.number < dropBefore) {
            jack_ringbuffer_read_advance(ring_, whole);
            continue;
        }
        jack_midi_data_t* data = takenSize_ + whole <= taken_.size()
                                     ? jack_midi_event_reserve(port, 0, header.size)
                                     : nullptr;
        if (data == nullptr) {
            break;
        }
        jack_ringbuffer_read(ring_, taken_.data() + takenSize_, whole);
        std::memcpy(data, taken_.data() + takenSize_ + sizeof header, header.size);
        takenSize_ += whole;
        at += whole;
    }
    return at;
}

void JackSender::carried(std::size_t bytes, std::uint64_t cycle) {
    Header last{};
    for (std::size_t at = 0; at < bytes; at += sizeof last + last.size) {
        std::memcpy(&last, taken_.data() + at, sizeof last);
    }
    std::memmove(taken_.data(), taken_.data() + bytes, takenSize_ - bytes);
    takenSize_ -= bytes;
    writtenCycle_.store(cycle, std::memory_order_relaxed);
    written_.store(last.number, std::memory_order_release);
}

} // namespace zr70
