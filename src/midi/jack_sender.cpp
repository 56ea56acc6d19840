#include "midi/jack_sender.h"

#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <ctime>

namespace zr70 {
namespace {

/// Room for the messages of many send-alls; one that does not fit finds the
/// server taking none.
constexpr std::size_t kRingSize = 16 * 1024;

/// What goes before each message in the ring.
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

bool JackSender::running() const {
    return nowNanoseconds() - lastCycle_.load(std::memory_order_acquire) <
           std::chrono::nanoseconds(kStallLimit).count();
}

bool JackSender::waitUntil(const std::function<bool()>& done, const std::function<bool()>& alive) {
    while (!done()) {
        if (!alive() || !running()) {
            return false;
        }
        wake_.store(true, std::memory_order_release);
        if (done()) {
            break;
        }
        // Woken by the next cycle; looked at again now and then, for a
        // server that has stopped running cycles.
        timespec until{};
        ::clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_nsec += 50'000'000;
        until.tv_sec += until.tv_nsec / 1'000'000'000;
        until.tv_nsec %= 1'000'000'000;
        ::sem_clockwait(&woken_, CLOCK_MONOTONIC, &until);
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
            if (header.number >= dropBefore) {
                jack_midi_data_t* data = jack_midi_event_reserve(port, 0, header.size);
                if (data == nullptr) {
                    break;
                }
                jack_ringbuffer_read_advance(ring_, sizeof header);
                jack_ringbuffer_read(ring_, reinterpret_cast<char*>(data), header.size);
                writtenCycle_.store(cycle, std::memory_order_relaxed);
                written_.store(header.number, std::memory_order_release);
            } else {
                jack_ringbuffer_read_advance(ring_, sizeof header + header.size);
            }
        }
    }
    cycles_.store(cycle, std::memory_order_release);
    if (wake_.load(std::memory_order_acquire) && wake_.exchange(false)) {
        ::sem_post(&woken_);
    }
}

} // namespace zr70
