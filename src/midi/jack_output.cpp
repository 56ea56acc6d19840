#include "midi/jack_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

namespace zr70 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPortName = "out";

/// How long a server that is there is given to let our client in, and to
/// answer at all while its process runs: a loaded machine can keep a server
/// from answering for seconds. A stopped server is given up after the
/// ServerThread's time-out.
constexpr std::chrono::seconds kServerPatience{6};

/// Between two tries of an open that the server refused, 20 to 49 ms, drawn
/// anew by every process so that two whose opens met do not try again in
/// step. (libjack names the socket on which a client hears from its server
/// after the client alone, so a client of the same name opening on another
/// server of the machine at the same moment can take it.)
std::chrono::milliseconds retryWait() {
    std::minstd_rand draw(static_cast<std::uint_fast32_t>(Clock::now().time_since_epoch().count()) ^
                          (static_cast<std::uint_fast32_t>(::getpid()) * 2654435761u));
    return std::chrono::milliseconds(20 + draw() % 30);
}

/// Longest wait for a new connection to show. A busy server switches to a
/// new graph only once every client has finished its cycle, which can take
/// many cycles.
constexpr std::chrono::milliseconds kConnectWait{1000};

/// How long a new connection must have shown before the first message goes.
/// jackd shows a connection only in the graph its cycles already run, but
/// PipeWire shows it before its link carries data: it lost every message sent
/// within a few cycles of the connection showing in about one open of four,
/// and with 30 ms still some on a loaded machine. With three cycles and
/// 100 ms it lost none in 240 opens at quanta of 256 and 1024 frames, loaded
/// or not.
struct Settle {
    std::uint64_t cycles;
    std::chrono::milliseconds time;
};
constexpr Settle kJackdSettle{1, std::chrono::milliseconds(0)};
constexpr Settle kPipeWireSettle{3, std::chrono::milliseconds(100)};

/// Cycles after the one that wrote the last message into our port before
/// the connection may go: the receiver reads the port in that same cycle on
/// jackd, but PipeWire may hand it over a cycle later, and drops what a port
/// that has gone carried.
constexpr std::uint64_t kJackdCarried = 1;
constexpr std::uint64_t kPipeWireCarried = 2;

void ignoreJackText(const char*) {}

std::string shown(const std::string& port) {
    return "JACK: " + port;
}

/// The JACK server this process's clients open on: jackd, or PipeWire
/// through its libjack, and the socket it listens on for new clients.
struct Server {
    bool pipeWire;
    std::string socket;
};

Server serverOfThisProcess() {
    const auto variable = [](const char* name, const std::string& fallback) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0' ? std::string(value) : fallback;
    };
    // "3.0.0.0 (using PipeWire 0.3.65)" from PipeWire's libjack.
    const char* version = jack_get_version_string();
    if (version != nullptr && std::strstr(version, "PipeWire") != nullptr) {
        // PipeWire ignores JACK_DEFAULT_SERVER: its instances are told apart
        // by their runtime folder.
        const std::string remote = variable("PIPEWIRE_REMOTE", "pipewire-0");
        return {true, remote.starts_with('/')
                          ? remote
                          : variable("PIPEWIRE_RUNTIME_DIR", variable("XDG_RUNTIME_DIR", "/tmp")) +
                                "/" + remote};
    }
    const std::string base = "/dev/shm/jack_" + variable("JACK_DEFAULT_SERVER", "default") + "_";
    const std::string own = base + std::to_string(::getuid()) + "_0";
    // The other form is that of a server open to every user.
    return {false, ::access(own.c_str(), F_OK) != 0 && ::access((base + "0").c_str(), F_OK) == 0
                       ? base + "0"
                       : own};
}

/// Whether a server listens on `socket`, and whether its process runs.
enum class Listener { None, Running, Stopped };

/// Asks the system, not the server: a connection that nobody listens for is
/// refused at once, one to a server whose process is stopped is taken by the
/// system all the same, and names that process.
Listener listenerOn(const std::string& socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || socket.size() >= sizeof address.sun_path) {
        if (fd >= 0) {
            ::close(fd);
        }
        return Listener::Running; // cannot tell: never taken for a missing server
    }
    std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
    Listener listener = Listener::Running;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // EAGAIN: its queue of new clients is full, so it is there.
        if (errno == ECONNREFUSED || errno == ENOENT || errno == ENOTDIR) {
            listener = Listener::None;
        }
    } else if (ucred peer{}; [&] {
                   socklen_t length = sizeof peer;
                   return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
                          peer.pid > 0;
               }()) {
        // "pid (name) S ...": the state follows the last ')'.
        std::ifstream stat("/proc/" + std::to_string(peer.pid) + "/stat");
        std::string status;
        std::getline(stat, status);
        const std::size_t close = status.rfind(')');
        if (close != std::string::npos && close + 2 < status.size() &&
            (status[close + 2] == 'T' || status[close + 2] == 't')) {
            listener = Listener::Stopped;
        }
    }
    ::close(fd);
    return listener;
}

} // namespace

struct JackOutput::State {
    const Server server = serverOfThisProcess(); ///< known before any thread starts
    JackSender sender;

    // Set on JACK's thread while the client opens; read by the caller once
    // the ServerThread says that is done, and by the callbacks.
    jack_client_t* client = nullptr;
    bool refused = false; ///< a server that is there did not let the client in
    std::string portName; ///< our port's whole name, once registered

    std::atomic<jack_port_t*> port{nullptr};
    std::atomic<bool> stopped{false};
    std::atomic<bool> finishing{false}; ///< the client is about to close, connections and all

    // On JACK's thread: the input we are connected to; and, under the mutex,
    // what the caller was told.
    std::string connected;
    std::mutex toldMutex;
    std::string told;

    void openClient();
    bool registerPort();
    std::vector<std::string> ports() const;
    MidiResult connect(const std::string& destination);
    bool awaitConnection(const std::string& destination);
    void disconnect();
    void catchUp();

    bool alive() const { return !stopped.load(std::memory_order_acquire); }
    /// Why the server cannot be used now, or nothing.
    std::optional<MidiError> unusable() const {
        if (client == nullptr || !alive()) {
            return MidiError::ServerGone;
        }
        return sender.running() ? std::nullopt : std::optional(MidiError::NotAnswering);
    }
    MidiError whyNotWaited() const {
        return alive() ? MidiError::NotAnswering : MidiError::ServerGone;
    }
    bool isConnectedTo(const std::string& destination) const {
        const jack_port_t* ours = port.load(std::memory_order_acquire);
        return ours != nullptr && alive() && jack_port_connected_to(ours, destination.c_str()) != 0;
    }

    static int process(jack_nframes_t frames, void* state) {
        auto* self = static_cast<State*>(state);
        jack_port_t* ours = self->port.load(std::memory_order_acquire);
        self->sender.process(ours != nullptr ? jack_port_get_buffer(ours, frames) : nullptr);
        return 0;
    }
    static void serverStopped(jack_status_t, const char*, void* state) { serverGone(state); }
    static void serverGone(void* state) {
        static_cast<State*>(state)->stopped.store(true, std::memory_order_release);
    }
};

void JackOutput::State::openClient() {
    static const bool silenced = [] {
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
        return true;
    }();
    (void)silenced;
    // A name of this process alone: another process's client of our name
    // can never take its socket.
    const std::string name = "zr70-" + std::to_string(::getpid());
    // A server that is there is never taken for a missing one: an open it
    // refused (a loaded machine, a client of our name on another server) is
    // tried again while it listens.
    const auto giveUp = Clock::now() + kServerPatience;
    while ((client = jack_client_open(name.c_str(), JackNoStartServer, nullptr)) == nullptr) {
        if (listenerOn(server.socket) == Listener::None) {
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
    // Registered before the client runs, the port costs the server less; an
    // open registers it where this failed.
    registerPort();
    if (jack_activate(client) != 0) {
        jack_client_close(client);
        client = nullptr;
        port.store(nullptr, std::memory_order_release);
    }
}

bool JackOutput::State::registerPort() {
    if (port.load(std::memory_order_acquire) != nullptr) {
        return true;
    }
    jack_port_t* registered =
        jack_port_register(client, kPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (registered == nullptr) {
        return false;
    }
    // PipeWire renames a client whose name is taken: the port says its own.
    portName = jack_port_name(registered);
    port.store(registered, std::memory_order_release);
    return true;
}

std::vector<std::string> JackOutput::State::ports() const {
    std::vector<std::string> found;
    if (client == nullptr || !alive()) {
        return found;
    }
    if (const char** names =
            jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** name = names; *name != nullptr; ++name) {
            found.emplace_back(*name);
        }
        jack_free(static_cast<void*>(names));
    }
    return found;
}

MidiResult JackOutput::State::connect(const std::string& destination) {
    if (client == nullptr || !alive()) {
        return MidiResult::failure(MidiError::ServerGone);
    }
    if (const std::vector<std::string> now = ports();
        std::find(now.begin(), now.end(), destination) == now.end()) {
        return MidiResult::failure(MidiError::OutputGone, shown(destination));
    }
    // A connection left by a close the server did not answer goes first.
    if (!connected.empty() && connected != destination) {
        disconnect();
    }
    if (!registerPort()) {
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
/// has passed. Once it shows, the link may not carry data yet on PipeWire:
/// it must have been there for the server's Settle, within the same wait.
bool JackOutput::State::awaitConnection(const std::string& destination) {
    const Settle settle = server.pipeWire ? kPipeWireSettle : kJackdSettle;
    const auto deadline = Clock::now() + kConnectWait;
    std::optional<std::pair<std::uint64_t, Clock::time_point>> shownSince;
    bool ready = false;
    sender.waitUntil(
        [&] {
            const auto now = Clock::now();
            if (!isConnectedTo(destination)) {
                shownSince.reset();
            } else if (!shownSince) {
                shownSince.emplace(sender.cycles(), now);
            } else if (sender.cycles() >= shownSince->first + settle.cycles &&
                       now - shownSince->second >= settle.time) {
                return ready = true;
            }
            if (now > deadline) {
                ready = shownSince.has_value();
            }
            return now > deadline;
        },
        [this] { return alive(); });
    return ready;
}

void JackOutput::State::disconnect() {
    if (!connected.empty() && client != nullptr && alive()) {
        jack_disconnect(client, portName.c_str(), connected.c_str());
    }
    connected.clear();
}

void JackOutput::State::catchUp() {
    const std::lock_guard lock(toldMutex);
    if (connected != told) {
        disconnect();
    }
}

JackOutput::JackOutput()
    : state_(std::make_shared<State>()), thread_([state = state_] { state->catchUp(); }) {
    clientOpened_ = thread_.start([state = state_] { state->openClient(); });
}

JackOutput::~JackOutput() {
    finish();
}

OutputList JackOutput::outputs() {
    OutputList list;
    listed_.clear();
    // A server whose process runs is given longer than one that has stopped.
    const auto deadline = Clock::now() + kServerPatience;
    const auto slowButRunning = [&] {
        return Clock::now() < deadline && listenerOn(state_->server.socket) == Listener::Running;
    };
    if (!clientOpened_ || !thread_.wait(clientOpened_, slowButRunning) || state_->refused) {
        list.problem = MidiResult::failure(MidiError::NotAnswering);
        return list;
    }
    listed_ = state_->ports();
    for (const std::string& port : listed_) {
        list.names.push_back(shown(port));
    }
    return list;
}

MidiResult JackOutput::open(int index) {
    if (!open_.empty()) {
        return MidiResult::failure(MidiError::AlreadyOpen);
    }
    if (index < 0 || static_cast<std::size_t>(index) >= listed_.size()) {
        return MidiResult::failure(MidiError::NoSuchOutput, std::to_string(index));
    }
    if (const std::optional<MidiError> why = state_->unusable()) {
        return MidiResult::failure(*why);
    }
    const std::string port = listed_[static_cast<std::size_t>(index)];
    auto result = std::make_shared<MidiResult>(MidiResult::failure(MidiError::NotAnswering));
    if (!thread_.run([state = state_, port, result] { *result = state->connect(port); })) {
        return MidiResult::failure(MidiError::NotAnswering);
    }
    if (result->ok()) {
        open_ = port;
        {
            const std::lock_guard lock(state_->toldMutex);
            state_->told = port;
        }
        // Whatever an earlier open left in the ring is not for this one.
        state_->sender.dropQueued();
        openedAfter_ = flushedTo_ = state_->sender.queued();
        undelivered_ = {};
    }
    return *result;
}

MidiResult JackOutput::send(std::span<const std::uint8_t> message) {
    if (open_.empty()) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    if (const std::optional<MidiError> why = state_->unusable()) {
        return MidiResult::failure(*why);
    }
    if (!state_->isConnectedTo(open_)) {
        return MidiResult::failure(MidiError::ConnectionGone, shown(open_));
    }
    return state_->sender.queue(message) ? MidiResult{} : MidiResult::failure(MidiError::Stalled);
}

Delivery JackOutput::flush() {
    JackSender& sender = state_->sender;
    const std::uint64_t last = sender.queued();
    Delivery delivery;
    delivery.sent = last - flushedTo_;
    if (!sender.waitUntil([&] { return sender.written() >= last; },
                          [this] { return state_->alive(); })) {
        delivery.result = MidiResult::failure(state_->whyNotWaited());
    }
    const std::uint64_t written = std::min(sender.written(), last);
    delivery.left = written > flushedTo_ ? written - flushedTo_ : 0;
    if (delivery.result.ok() && !open_.empty() && !state_->isConnectedTo(open_)) {
        delivery.result = MidiResult::failure(MidiError::ConnectionGone, shown(open_));
        delivery.left = 0;
    }
    if (!delivery.result.ok()) {
        // What did not leave now is not to leave later, when it is not waited for.
        sender.dropQueued();
        undelivered_ = delivery.result;
    }
    flushedTo_ = last;
    return delivery;
}

MidiResult JackOutput::close() {
    if (open_.empty()) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    JackSender& sender = state_->sender;
    MidiResult result = std::exchange(undelivered_, {});
    if (sender.queued() > flushedTo_ && result.ok()) {
        result = flush().result;
    }
    const std::string port = std::exchange(open_, {});
    // The cycle that carried the last message must have passed, and the
    // connection must still stand, for what was sent to have arrived.
    if (result.ok() && sender.queued() > openedAfter_) {
        const std::uint64_t until =
            sender.writtenInCycle() + (state_->server.pipeWire ? kPipeWireCarried : kJackdCarried);
        if (!sender.waitUntil([&] { return sender.cycles() >= until; },
                              [this] { return state_->alive(); })) {
            result = MidiResult::failure(state_->whyNotWaited());
        } else if (!state_->isConnectedTo(port)) {
            result = MidiResult::failure(MidiError::ConnectionGone, shown(port));
        }
    }
    {
        const std::lock_guard lock(state_->toldMutex);
        state_->told.clear();
    }
    sender.dropQueued();
    // A server that does not answer is not asked: the thread catches up once
    // it does. The disconnect is not waited for: what comes next on JACK's
    // thread (another open, the end) comes after it, and the end of the
    // client takes its connections with it.
    if (!state_->unusable()) {
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
            // The port and its connection go with the client.
            jack_client_close(state->client);
            state->client = nullptr;
            state->port.store(nullptr, std::memory_order_release);
        }
    });
}

} // namespace zr70
