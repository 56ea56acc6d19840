// The least a JACK program can do to send a preset: one client, one MIDI
// output port connected to the destination, the preset's messages written
// into one cycle's port buffer, and out. bench/app/send_cli.sh holds
// `zr70 --send` against it.
//
//   least_jack_sender DESTINATION FILE.zr     for example "dump:input"
//
// Exits 0 once the messages have left; 1 after one line on stderr on any
// failure.

#include "converter/parameter_set.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// Longest wait for anything the server does: a cycle, a connection showing.
constexpr std::chrono::seconds kWaitLimit{2};

/// jackd shows a connection only in the graph its cycles already run, so one
/// more cycle after it shows is enough. PipeWire's libjack shows it before the
/// link carries data: the panel waits three cycles and 100 ms after it shows
/// on PipeWire, and so does this, so that both send at the same point.
constexpr std::uint64_t kJackdSettleCycles = 1;
constexpr std::uint64_t kPipeWireSettleCycles = 3;
constexpr std::chrono::milliseconds kPipeWireSettleTime{100};

/// What the process callback and the main thread share. The callback never
/// waits: it counts cycles, and writes the messages once asked to.
struct Sender {
    jack_port_t* port = nullptr;
    std::vector<zr70::MessageBytes> messages; ///< fixed before the client activates
    std::atomic<bool> sendNow{false};
    std::atomic<std::uint64_t> cycles{0};
    std::atomic<std::uint64_t> sentInCycle{0}; ///< 0 until the messages are written
    std::atomic<std::size_t> written{0};
    std::atomic<bool> serverGone{false};
    /// Released once per cycle, and when the server goes.
    std::counting_semaphore<> cycleDone{0};
};

int processCycle(jack_nframes_t frames, void* arg) {
    auto& sender = *static_cast<Sender*>(arg);
    void* buffer = jack_port_get_buffer(sender.port, frames);
    jack_midi_clear_buffer(buffer);
    const std::uint64_t cycle = sender.cycles.load(std::memory_order_relaxed) + 1;
    if (sender.sendNow.load(std::memory_order_acquire) &&
        sender.sentInCycle.load(std::memory_order_relaxed) == 0) {
        std::size_t written = 0;
        for (const zr70::MessageBytes& message : sender.messages) {
            if (jack_midi_event_write(buffer, 0, message.data(), message.size()) != 0) {
                break;
            }
            ++written;
        }
        sender.written.store(written, std::memory_order_relaxed);
        sender.sentInCycle.store(cycle, std::memory_order_release);
    }
    sender.cycles.store(cycle, std::memory_order_release);
    sender.cycleDone.release();
    return 0;
}

void serverGone(void* arg) {
    auto& sender = *static_cast<Sender*>(arg);
    sender.serverGone.store(true, std::memory_order_release);
    sender.cycleDone.release();
}

/// Waits cycle by cycle until `done()` holds; false when the server went or
/// `deadline` passed first.
template <typename Done> bool awaitCycles(Sender& sender, Clock::time_point deadline, Done done) {
    while (!done()) {
        if (sender.serverGone.load(std::memory_order_acquire) ||
            !sender.cycleDone.try_acquire_until(deadline)) {
            return done();
        }
    }
    return true;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "least_jack_sender: %s\n", text.c_str());
    return 1;
}

/// The send-all messages of the preset file at `path`, read as the panel reads
/// it: its first fifteen bytes are the selections in file order.
bool readPreset(const char* path, std::vector<zr70::MessageBytes>& messages) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::vector<std::uint8_t> bytes(zr70::kParameterCount);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    messages = zr70::sendAllMessages(zr70::fromPresetBytes(bytes));
    return true;
}

/// Opens, connects, sends, and lets the messages leave; the client stays
/// open for the caller to close.
int send(jack_client_t* client, Sender& sender, const char* destination) {
    if (jack_set_process_callback(client, processCycle, &sender) != 0) {
        return fail("cannot set the process callback");
    }
    jack_on_shutdown(client, serverGone, &sender);
    sender.port = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (sender.port == nullptr) {
        return fail("cannot register a MIDI output port");
    }
    // "3.0.0.0 (using PipeWire 0.3.65)" from PipeWire's libjack.
    const char* version = jack_get_version_string();
    const bool pipeWire = version != nullptr && std::strstr(version, "PipeWire") != nullptr;
    if (jack_activate(client) != 0) {
        return fail("cannot activate the client");
    }
    if (const int status = jack_connect(client, jack_port_name(sender.port), destination);
        status != 0 && status != EEXIST) {
        return fail(std::string("cannot connect to ") + destination);
    }

    // The connection shows once a cycle runs the graph that has it.
    std::uint64_t shownInCycle = 0;
    if (!awaitCycles(sender, Clock::now() + kWaitLimit, [&] {
            shownInCycle = sender.cycles.load(std::memory_order_acquire);
            return jack_port_connected_to(sender.port, destination) != 0;
        })) {
        return fail(std::string("the connection to ") + destination + " did not show");
    }
    const auto shownAt = Clock::now();
    const std::uint64_t settleCycles = pipeWire ? kPipeWireSettleCycles : kJackdSettleCycles;
    if (pipeWire) {
        std::this_thread::sleep_until(shownAt + kPipeWireSettleTime);
    }
    if (!awaitCycles(sender, Clock::now() + kWaitLimit, [&] {
            return sender.cycles.load(std::memory_order_acquire) >= shownInCycle + settleCycles;
        })) {
        return fail("no process cycle came after the connection showed");
    }

    sender.sendNow.store(true, std::memory_order_release);
    if (!awaitCycles(sender, Clock::now() + kWaitLimit,
                     [&] { return sender.sentInCycle.load(std::memory_order_acquire) != 0; })) {
        return fail("no process cycle came to send in");
    }
    if (const std::size_t written = sender.written.load(std::memory_order_relaxed);
        written != sender.messages.size()) {
        return fail("only " + std::to_string(written) + " of " +
                    std::to_string(sender.messages.size()) + " messages fitted in a cycle");
    }
    // The cycle after the one that carried them, so that the receiver has run.
    const std::uint64_t sent = sender.sentInCycle.load(std::memory_order_acquire);
    if (!awaitCycles(sender, Clock::now() + kWaitLimit,
                     [&] { return sender.cycles.load(std::memory_order_acquire) > sent; })) {
        return fail("no process cycle came after the send");
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        return fail("usage: least_jack_sender DESTINATION FILE.zr");
    }
    const char* destination = argv[1];
    Sender sender;
    if (!readPreset(argv[2], sender.messages)) {
        return fail(std::string("cannot read ") + argv[2]);
    }

    // libjack's own messages would add lines to the one a failure prints.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    jack_status_t status{};
    jack_client_t* client = jack_client_open("least-sender", JackNoStartServer, &status);
    if (client == nullptr) {
        return fail((status & JackServerFailed) != 0
                        ? "no JACK server to open a client on"
                        : "cannot open a JACK client (status " + std::to_string(status) + ")");
    }
    const int sent = send(client, sender, destination);
    // A server that has gone answers nothing: the client is left to the exit.
    if (sender.serverGone.load(std::memory_order_acquire)) {
        return sent != 0 ? sent : fail("the JACK server went away");
    }
    const bool deactivated = jack_deactivate(client) == 0;
    const bool closed = jack_client_close(client) == 0;
    if (sent != 0) {
        return sent;
    }
    if (!deactivated || !closed) {
        return fail("cannot close the client");
    }
    return 0;
}
