#include "midi/jack_output.h"

#include "midi/jack_server.h"
#include "midi/midi_host.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>
#include <thread>
#include <utility>

namespace zr70 {
namespace {

using Clock = std::chrono::steady_clock;

/// Longest wait for a new connection to show: a busy server switches to a new
/// graph only once every client has finished its cycle.
constexpr std::chrono::milliseconds kConnectWait{1000};

/// Between two tries of an open that the server refused, 20 to 49 ms, drawn
/// anew by every process so that two whose opens met do not meet again.
std::chrono::milliseconds retryWait() {
    std::minstd_rand draw(static_cast<std::uint_fast32_t>(Clock::now().time_since_epoch().count()) ^
                          (static_cast<std::uint_fast32_t>(::getpid()) * 2654435761u));
    return std::chrono::milliseconds(20 + draw() % 30);
}

void ignoreJackText(const char*) {}

std::string shown(const std::string& port) {
    return "JACK: " + port;
}

} // namespace

struct JackOutput::State {
    const JackServer server = JackServer::ofThisProcess(); ///< known before any thread starts
    JackSender sender;
    // Set on JACK's thread while the client opens; read by the caller once
    // the ServerThread says that is done.
    jack_client_t* client = nullptr;
    bool refused = false; ///< a server that is there did not let the client in
    std::string portName; ///< our port's whole name: PipeWire renames a taken client name
    std::atomic<jack_client_t*> running{nullptr}; ///< for the process callback
    std::atomic<jack_port_t*> port{nullptr};
    std::atomic<bool> held{false};      ///< the caller holds an open output
    std::atomic<bool> finishing{false}; ///< the client is about to close
    std::string connected;              ///< on JACK's thread: the input we are connected to
    MidiResult ahead;                   ///< what openAhead() came to, for `connected`

    void openClient();
    std::vector<std::string> ports() const;
    MidiResult connect(const std::string& destination);
    bool awaitConnection(const std::string& destination);
    void disconnect();

    std::optional<MidiError> problem() const {
        return client == nullptr ? MidiError::ServerGone : sender.problem();
    }
    bool isConnectedTo(const std::string& destination) const {
        const jack_port_t* ours = port.load(std::memory_order_acquire);
        return ours != nullptr && !problem() &&
               jack_port_connected_to(ours, destination.c_str()) != 0;
    }

    static int process(jack_nframes_t frames, void* state) {
        auto* self = static_cast<State*>(state);
        jack_port_t* ours = self->port.load(std::memory_order_acquire);
        self->sender.process(self->running.load(std::memory_order_acquire),
                             ours != nullptr ? jack_port_get_buffer(ours, frames) : nullptr);
        return 0;
    }
    static void serverStopped(jack_status_t, const char*, void* state) { serverGone(state); }
    static void serverGone(void* state) { static_cast<State*>(state)->sender.serverStopped(); }
};

void JackOutput::State::openClient() {
    static const bool silenced = [] {
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
        return true;
    }();
    (void)silenced;
    // Of this process alone: another process's client of our name can never
    // take its socket.
    const std::string name = "zr70-" + std::to_string(::getpid());
    // A server that is there is never taken for a missing one: an open it
    // refused (a loaded machine, a client of our name opening on another
    // server, as libjack names a client's socket after the client alone) is
    // tried again while it listens.
    const auto giveUp = Clock::now() + JackServer::kPatience;
    while ((client = jack_client_open(name.c_str(), JackNoStartServer, nullptr)) == nullptr) {
        if (server.listener() == JackServer::Listener::None) {
            return;
        }
        if (Clock::now() > giveUp || finishing.load(std::memory_order_acquire)) {
            refused = true;
            return;
        }
        std::this_thread::sleep_for(retryWait());
    }
    // jackd calls the first, PipeWire's libjack only the second.
    jack_on_info_shutdown(client, &State::serverStopped, this);
    jack_on_shutdown(client, &State::serverGone, this);
    jack_set_process_callback(client, &State::process, this);
    // Registered before the client runs, the port costs the server less.
    if (jack_port_t* registered =
            jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0)) {
        portName = jack_port_name(registered);
        port.store(registered, std::memory_order_release);
    }
    running.store(client, std::memory_order_release);
    if (jack_activate(client) != 0) {
        jack_client_close(client);
        client = nullptr;
        port.store(nullptr, std::memory_order_release);
    }
}

std::vector<std::string> JackOutput::State::ports() const {
    std::vector<std::string> found;
    const char** names =
        problem() == MidiError::ServerGone
            ? nullptr
            : jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    for (const char** name = names; name != nullptr && *name != nullptr; ++name) {
        found.emplace_back(*name);
    }
    jack_free(static_cast<void*>(names));
    return found;
}

MidiResult JackOutput::State::connect(const std::string& destination) {
    if (problem() == MidiError::ServerGone) {
        return MidiResult::failure(MidiError::ServerGone);
    }
    if (const std::vector<std::string> now = ports();
        std::find(now.begin(), now.end(), destination) == now.end()) {
        return MidiResult::failure(MidiError::OutputGone, shown(destination));
    }
    // A connection left by a close the server did not answer goes first.
    if (connected != destination) {
        disconnect();
    }
    if (port.load(std::memory_order_acquire) == nullptr) {
        return MidiResult::failure(MidiError::OpenFailed, shown(destination));
    }
    const int result = jack_connect(client, portName.c_str(), destination.c_str());
    if (result != 0 && result != EEXIST) {
        return MidiResult::failure(MidiError::NotConnected, shown(destination));
    }
    connected = destination;
    if (!awaitConnection(destination)) {
        disconnect();
        return MidiResult::failure(MidiError::NotConnected, shown(destination));
    }
    return {};
}

/// A new connection shows in the graph that clients read only from the
/// server's next cycle on, so a missing one is looked for until kConnectWait
/// has passed. Once it shows, it must have stood for the server's settling
/// time, within the same wait.
bool JackOutput::State::awaitConnection(const std::string& destination) {
    const auto deadline = Clock::now() + kConnectWait;
    std::optional<std::uint64_t> shownInCycle;
    Clock::time_point settledAt = deadline; // also the time to look again
    bool ready = false;
    sender.waitUntil(
        [&] {
            const auto now = Clock::now();
            if (!isConnectedTo(destination)) {
                shownInCycle.reset();
                settledAt = deadline;
            } else if (!shownInCycle) {
                shownInCycle = sender.cycles();
                settledAt = now + server.settleTime;
            } else if (sender.cycles() >= *shownInCycle + server.settleCycles && now >= settledAt) {
                return ready = true;
            }
            ready = now > deadline && shownInCycle;
            return now > deadline;
        },
        &settledAt);
    return ready;
}

void JackOutput::State::disconnect() {
    if (!connected.empty() && problem() != MidiError::ServerGone) {
        jack_disconnect(client, portName.c_str(), connected.c_str());
    }
    connected.clear();
}

// A request the caller gave up waiting for may still have connected us: once
// the server answers again, that connection goes, unless the caller holds it.
JackOutput::JackOutput()
    : state_(std::make_shared<State>()), thread_([state = state_] {
          if (!state->held.load(std::memory_order_acquire)) {
              state->disconnect();
          }
      }) {
    clientOpened_ = thread_.start([state = state_] { state->openClient(); });
}

JackOutput::~JackOutput() {
    finish();
}

OutputList JackOutput::outputs() {
    OutputList list;
    // A server whose process runs is given longer than one that has stopped.
    const auto deadline = Clock::now() + JackServer::kPatience;
    const auto slowButRunning = [&] {
        return Clock::now() < deadline &&
               state_->server.listener() == JackServer::Listener::Running;
    };
    if (!clientOpened_ || !thread_.wait(clientOpened_, slowButRunning) || state_->refused) {
        listed_.clear();
        list.problem = MidiResult::failure(MidiError::NotAnswering);
        return list;
    }
    listed_ = state_->ports();
    std::ranges::transform(listed_, std::back_inserter(list.names), shown);
    return list;
}

void JackOutput::openAhead(std::string name, int entry) {
    openedAhead_ = thread_.start([state = state_, name = std::move(name), entry] {
        std::vector<std::string> names;
        const std::vector<std::string> ports = state->ports();
        std::ranges::transform(ports, std::back_inserter(names), shown);
        const std::optional<int> found = findOutput(names, name, entry);
        state->ahead = found ? state->connect(ports[static_cast<std::size_t>(*found)])
                             : MidiResult::failure(MidiError::OutputGone);
    });
}

void JackOutput::dropAhead() {
    if (std::exchange(openedAhead_, nullptr)) {
        thread_.start([state = state_] { state->disconnect(); });
    }
}

MidiResult JackOutput::open(int index) {
    if (!open_.empty()) {
        return MidiResult::failure(MidiError::AlreadyOpen);
    }
    if (index < 0 || static_cast<std::size_t>(index) >= listed_.size()) {
        return MidiResult::failure(MidiError::NoSuchOutput, std::to_string(index));
    }
    if (const std::optional<MidiError> why = state_->problem()) {
        return MidiResult::failure(*why);
    }
    const std::string port = listed_[static_cast<std::size_t>(index)];
    auto result = std::make_shared<MidiResult>(MidiResult::failure(MidiError::NotAnswering));
    const std::shared_ptr<ServerThread::Task> ahead = std::exchange(openedAhead_, nullptr);
    if (ahead && thread_.wait(ahead) && state_->connected == port) {
        *result = state_->ahead;
    } else if (!thread_.run([state = state_, port, result] { *result = state->connect(port); })) {
        return MidiResult::failure(MidiError::NotAnswering);
    }
    if (result->ok()) {
        open_ = port;
        state_->held.store(true, std::memory_order_release);
        state_->sender.reset();
        undelivered_ = {};
    }
    return *result;
}

MidiResult JackOutput::send(std::span<const std::uint8_t> message) {
    if (open_.empty()) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    if (const std::optional<MidiError> why = state_->problem()) {
        return MidiResult::failure(*why);
    }
    if (!state_->isConnectedTo(open_)) {
        return MidiResult::failure(MidiError::ConnectionGone, shown(open_));
    }
    return state_->sender.queue(message) ? MidiResult{} : MidiResult::failure(MidiError::Stalled);
}

Delivery JackOutput::flush() {
    Delivery delivery = state_->sender.flush();
    if (delivery.result.ok() && !open_.empty() && !state_->isConnectedTo(open_)) {
        delivery = {delivery.sent, 0, MidiResult::failure(MidiError::ConnectionGone, shown(open_))};
    }
    if (!delivery.result.ok()) {
        undelivered_ = delivery.result;
    }
    return delivery;
}

MidiResult JackOutput::close() {
    if (open_.empty()) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    JackSender& sender = state_->sender;
    MidiResult result = std::exchange(undelivered_, {});
    if (result.ok() && sender.sentSinceFlush()) {
        result = flush().result;
    }
    // The cycle that carried the last message must have passed, and the
    // connection must still stand, for what was sent to have arrived.
    if (result.ok()) {
        result = sender.awaitCarried(state_->server.carriedCycles);
    }
    const std::string port = std::exchange(open_, {});
    if (result.ok() && !state_->isConnectedTo(port)) {
        result = MidiResult::failure(MidiError::ConnectionGone, shown(port));
    }
    sender.reset();
    state_->held.store(false, std::memory_order_release);
    // A server that does not answer is not asked: the thread catches up once
    // it does. Nor is the disconnect waited for: what comes next on JACK's
    // thread comes after it, and the end of the client takes it along.
    if (!state_->problem()) {
        thread_.start([state = state_, port] {
            if (!state->finishing.load(std::memory_order_acquire) && state->connected == port) {
                state->disconnect();
            }
        });
    }
    return result;
}

bool JackOutput::finish() {
    state_->finishing.store(true, std::memory_order_release);
    return thread_.finish([state = state_] {
        if (state->client != nullptr) {
            // jackd (1.9.21) may answer an activation before the graph its
            // cycles run holds the client, and undoes one only once it does:
            // a client that closes before its first cycle, as a listing of
            // outputs may, stays in the graph, and jackd then waits on it for
            // ever and lets no client in again.
            if (!state->server.pipeWire) {
                state->sender.waitUntil([&] { return state->sender.cycles() > 0; });
            }
            // The port and its connection go with the client.
            jack_client_close(state->client);
            state->client = nullptr;
            state->port.store(nullptr, std::memory_order_release);
        }
    });
}

} // namespace zr70
