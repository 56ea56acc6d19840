#include "midi/jack_output.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>

namespace zr70 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPortName = "out";

/// Room for the messages of many send-alls; one that does not fit finds the
/// server taking none.
constexpr std::size_t kBufferSize = 16 * 1024;

/// libjack names the socket on which a client hears from its server after
/// the client alone, so a client of the same name opening on another server
/// of the machine at the same moment can take it, and the open fails. Such a
/// failure passes: the open is tried this many times more, 20 to 49 ms apart,
/// drawn anew by every process so that two whose opens met do not try again
/// in step.
constexpr int kOpenRetries = 2;

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

/// What goes before each message in the buffer.
struct Header {
    std::uint16_t size;
    std::uint16_t generation; ///< the open it was sent on
};

std::int64_t nowNanoseconds() {
    // The steady clock reads the vDSO: no system call in the process cycle.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

void ignoreJackText(const char*) {}

/// Whether the socket of the server that clients of this process open on is
/// there: the server runs, or has just started or stopped.
bool serverSocketExists() {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string base = std::string("/dev/shm/jack_") +
                             (server != nullptr && *server != '\0' ? server : "default") + "_";
    // The second form is that of a server open to every user.
    return ::access((base + std::to_string(::getuid()) + "_0").c_str(), F_OK) == 0 ||
           ::access((base + "0").c_str(), F_OK) == 0;
}

std::string shown(const std::string& port) {
    return "JACK: " + port;
}

/// Whether the process that serves the socket at `path` is running: found
/// through the socket's inode among this user's processes, and neither
/// stopped (SIGSTOP, a debugger) nor gone.
bool socketServerRuns(const std::string& path) {
    std::ifstream sockets("/proc/net/unix");
    std::string line;
    std::string inode;
    while (std::getline(sockets, line)) {
        // "Num RefCount Protocol Flags Type St Inode Path"
        std::istringstream fields(line);
        std::string skip;
        std::string number;
        std::string name;
        fields >> skip >> skip >> skip >> skip >> skip >> skip >> number >> name;
        if (name == path) {
            inode = "socket:[" + number + "]";
            break;
        }
    }
    if (inode.empty()) {
        return false;
    }
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", error)) {
            if (std::filesystem::read_symlink(fd.path(), error) != inode) {
                continue;
            }
            std::ifstream stat(process.path() / "stat");
            std::string status;
            std::getline(stat, status);
            // "pid (name) S ...": the state follows the last ')'.
            const std::size_t close = status.rfind(')');
            const char state =
                close != std::string::npos && close + 2 < status.size() ? status[close + 2] : 'X';
            return std::string_view("RSD").find(state) != std::string_view::npos;
        }
    }
    return false;
}

/// The socket the server that this process's clients open on listens on.
std::string serverSocket(bool pipeWire) {
    const auto variable = [](const char* name, const char* fallback) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr && *value != '\0' ? value : fallback);
    };
    if (pipeWire) {
        return variable("PIPEWIRE_RUNTIME_DIR", variable("XDG_RUNTIME_DIR", "/tmp").c_str()) + "/" +
               variable("PIPEWIRE_REMOTE", "pipewire-0");
    }
    return "/dev/shm/jack_" + variable("JACK_DEFAULT_SERVER", "default") + "_" +
           std::to_string(::getuid()) + "_0";
}

/// Longest wait for a server whose process runs but is slow to answer (a
/// loaded machine), at start: a stopped one is given up after the usual
/// time-out.
constexpr std::chrono::seconds kSlowServerLimit{6};

} // namespace

struct JackOutput::State {
    State() : ring(jack_ringbuffer_create(kBufferSize)) {}
    ~State() {
        if (ring != nullptr) {
            jack_ringbuffer_free(ring);
        }
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // Set on JACK's thread while the client opens; read by the caller once
    // that is done, and by the callbacks.
    jack_client_t* client = nullptr;
    bool pipeWire = false;
    std::string portName; ///< our port's whole name, once registered

    jack_ringbuffer_t* ring;
    std::atomic<jack_port_t*> port{nullptr};
    std::atomic<bool> stopped{false};
    std::atomic<bool> finishing{false}; ///< the client is about to close, connections and all
    std::atomic<std::uint64_t> cycles{0};
    std::atomic<std::int64_t> lastCycle{nowNanoseconds()};
    std::atomic<std::uint16_t> generation{0};
    std::atomic<std::uint64_t> written{0}; ///< messages put into our port
    std::atomic<std::uint64_t> lastWriteCycle{0};

    // On JACK's thread: the input we are connected to; and, under the mutex,
    // what the caller was told.
    std::string connected;
    std::mutex toldMutex;
    std::string told;

    void openClient();
    bool registerPort();
    std::vector<std::string> ports() const;
    bool listed(const std::string& port) const;
    MidiResult connect(const std::string& destination);
    void disconnect();
    void catchUp();

    bool answering() const {
        return nowNanoseconds() - lastCycle.load(std::memory_order_acquire) <
               std::chrono::nanoseconds(kStallLimit).count();
    }
    bool isConnectedTo(const std::string& destination) const {
        const jack_port_t* ours = port.load(std::memory_order_acquire);
        return ours != nullptr && !stopped.load(std::memory_order_acquire) &&
               jack_port_connected_to(ours, destination.c_str()) != 0;
    }
    /// Waits until the server has run `count` more cycles; false when it
    /// stopped or ran none for kStallLimit.
    bool awaitCycles(std::uint64_t until) const {
        while (cycles.load(std::memory_order_acquire) < until) {
            if (stopped.load(std::memory_order_acquire) || !answering()) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    bool awaitConnection(const std::string& destination) const;

    static int process(jack_nframes_t frames, void* state);
    static void serverStopped(jack_status_t, const char*, void* state);
    static void serverGone(void* state);
    void writeInto(void* buffer);
};

void JackOutput::State::openClient() {
    static const bool silenced = [] {
        // libjack prints its own complaints (no server, for one); the user
        // sees the program's messages only.
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
        return true;
    }();
    (void)silenced;
    // A name of this process alone: another process's client of our name
    // can never take its socket.
    const std::string name = "zr70-" + std::to_string(::getpid());
    for (int attempt = 0;; ++attempt) {
        jack_status_t status{};
        client = jack_client_open(name.c_str(), JackNoStartServer, &status);
        if (client != nullptr) {
            break;
        }
        const bool serverThere = (status & JackServerFailed) == 0 || serverSocketExists();
        if (!serverThere || attempt == kOpenRetries) {
            return;
        }
        std::this_thread::sleep_for(retryWait());
    }
    // "3.0.0.0 (using PipeWire 0.3.65)" from PipeWire's libjack.
    const char* version = jack_get_version_string();
    pipeWire = version != nullptr && std::strstr(version, "PipeWire") != nullptr;
    // jackd calls the first, PipeWire's libjack only the second.
    jack_on_info_shutdown(client, &State::serverStopped, this);
    jack_on_shutdown(client, &State::serverGone, this);
    jack_set_process_callback(client, &State::process, this);
    // Registered before the client runs, the port costs the server less; an
    // open registers it where this failed.
    registerPort();
    lastCycle.store(nowNanoseconds(), std::memory_order_release);
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
    if (client == nullptr || stopped.load(std::memory_order_acquire)) {
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

bool JackOutput::State::listed(const std::string& port) const {
    const std::vector<std::string> now = ports();
    return std::find(now.begin(), now.end(), port) != now.end();
}

MidiResult JackOutput::State::connect(const std::string& destination) {
    if (client == nullptr || stopped.load(std::memory_order_acquire)) {
        return MidiResult::failure(MidiError::ServerGone);
    }
    if (!listed(destination)) {
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
bool JackOutput::State::awaitConnection(const std::string& destination) const {
    const Settle settle = pipeWire ? kPipeWireSettle : kJackdSettle;
    const auto deadline = Clock::now() + kConnectWait;
    bool shownYet = false;
    std::uint64_t shownAtCycle = 0;
    auto shownAt = Clock::now();
    while (!stopped.load(std::memory_order_acquire) && answering()) {
        const auto now = Clock::now();
        if (!isConnectedTo(destination)) {
            shownYet = false;
        } else if (!shownYet) {
            shownYet = true;
            shownAtCycle = cycles.load(std::memory_order_acquire);
            shownAt = now;
        } else if (cycles.load(std::memory_order_acquire) >= shownAtCycle + settle.cycles &&
                   now - shownAt >= settle.time) {
            return true;
        }
        if (now > deadline) {
            return shownYet;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void JackOutput::State::disconnect() {
    if (!connected.empty() && client != nullptr && !stopped.load(std::memory_order_acquire)) {
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

int JackOutput::State::process(jack_nframes_t frames, void* state) {
    auto* self = static_cast<State*>(state);
    self->lastCycle.store(nowNanoseconds(), std::memory_order_release);
    if (jack_port_t* ours = self->port.load(std::memory_order_acquire)) {
        void* buffer = jack_port_get_buffer(ours, frames);
        jack_midi_clear_buffer(buffer);
        self->writeInto(buffer);
    }
    self->cycles.fetch_add(1, std::memory_order_acq_rel);
    return 0;
}

/// Moves whole messages from the buffer into the port while they fit; those
/// of an earlier open are dropped.
void JackOutput::State::writeInto(void* buffer) {
    const std::uint16_t current = generation.load(std::memory_order_acquire);
    Header header{};
    while (jack_ringbuffer_read_space(ring) >= sizeof header) {
        jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&header), sizeof header);
        if (jack_ringbuffer_read_space(ring) < sizeof header + header.size) {
            break; // the rest of it is still being written
        }
        if (header.generation != current) {
            jack_ringbuffer_read_advance(ring, sizeof header + header.size);
            continue;
        }
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, header.size);
        if (data == nullptr) {
            break; // the port is full: the rest goes in the next cycle
        }
        jack_ringbuffer_read_advance(ring, sizeof header);
        jack_ringbuffer_read(ring, reinterpret_cast<char*>(data), header.size);
        lastWriteCycle.store(cycles.load(std::memory_order_relaxed), std::memory_order_relaxed);
        written.fetch_add(1, std::memory_order_release);
    }
}

void JackOutput::State::serverStopped(jack_status_t, const char*, void* state) {
    serverGone(state);
}

void JackOutput::State::serverGone(void* state) {
    static_cast<State*>(state)->stopped.store(true, std::memory_order_release);
}

struct JackOutput::Ahead {
    std::shared_ptr<ServerThread::Task> task;
    std::string port; ///< the port it connects to; empty when none was listed
    MidiResult result = MidiResult::failure(MidiError::NotAnswering);
};

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
    // A server that is merely slow is given longer than one that has stopped.
    const auto deadline = Clock::now() + kSlowServerLimit;
    const auto slowButRunning = [&] {
        const char* version = jack_get_version_string();
        const bool pipeWire = version != nullptr && std::strstr(version, "PipeWire") != nullptr;
        return Clock::now() < deadline && socketServerRuns(serverSocket(pipeWire));
    };
    if (!clientOpened_ || !thread_.wait(clientOpened_, slowButRunning)) {
        list.problem = MidiResult::failure(MidiError::NotAnswering);
        return list;
    }
    listed_ = state_->ports();
    for (const std::string& port : listed_) {
        list.names.push_back(shown(port));
    }
    return list;
}

void JackOutput::tell(const std::string& port) {
    const std::lock_guard lock(state_->toldMutex);
    state_->told = port;
}

MidiResult JackOutput::open(int entry, int number) {
    if (!open_.empty()) {
        return MidiResult::failure(MidiError::AlreadyOpen);
    }
    const bool listedEntry = entry >= 0 && static_cast<std::size_t>(entry) < listed_.size();
    if (const std::shared_ptr<Ahead> ahead = std::exchange(ahead_, nullptr)) {
        if (!thread_.wait(ahead->task)) {
            return MidiResult::failure(MidiError::NotAnswering);
        }
        if (listedEntry && ahead->port == listed_[static_cast<std::size_t>(entry)]) {
            if (ahead->result.ok()) {
                open_ = ahead->port;
                tell(open_);
                openedQueued_ = flushedQueued_ = queued_;
                undelivered_ = {};
                flushedWritten_ = state_->written.load(std::memory_order_acquire);
            }
            return ahead->result;
        }
        if (ahead->result.ok() && !disconnect(ahead->port)) {
            return MidiResult::failure(MidiError::NotAnswering);
        }
    }
    if (!listedEntry) {
        return MidiResult::failure(MidiError::NoSuchOutput, std::to_string(number));
    }
    if (state_->client == nullptr || state_->stopped.load(std::memory_order_acquire)) {
        return MidiResult::failure(MidiError::ServerGone);
    }
    if (!state_->answering()) {
        return MidiResult::failure(MidiError::NotAnswering);
    }
    const std::string port = listed_[static_cast<std::size_t>(entry)];
    auto result = std::make_shared<MidiResult>(MidiResult::failure(MidiError::NotAnswering));
    if (!thread_.run([state = state_, port, result] { *result = state->connect(port); })) {
        return MidiResult::failure(MidiError::NotAnswering);
    }
    if (result->ok()) {
        open_ = port;
        tell(open_);
        // Whatever an earlier open left in the buffer is not for this one.
        state_->generation.fetch_add(1, std::memory_order_acq_rel);
        openedQueued_ = flushedQueued_ = queued_;
        undelivered_ = {};
        flushedWritten_ = state_->written.load(std::memory_order_acquire);
    }
    return *result;
}

MidiResult JackOutput::send(std::span<const std::uint8_t> message) {
    if (open_.empty()) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    if (state_->stopped.load(std::memory_order_acquire)) {
        return MidiResult::failure(MidiError::ServerGone);
    }
    if (!state_->answering()) {
        return MidiResult::failure(MidiError::NotAnswering);
    }
    if (!state_->isConnectedTo(open_)) {
        return MidiResult::failure(MidiError::ConnectionGone, shown(open_));
    }
    const Header header{static_cast<std::uint16_t>(message.size()),
                        state_->generation.load(std::memory_order_acquire)};
    if (message.size() > UINT16_MAX ||
        jack_ringbuffer_write_space(state_->ring) < sizeof header + message.size()) {
        return MidiResult::failure(MidiError::Stalled);
    }
    jack_ringbuffer_write(state_->ring, reinterpret_cast<const char*>(&header), sizeof header);
    jack_ringbuffer_write(state_->ring, reinterpret_cast<const char*>(message.data()),
                          message.size());
    ++queued_;
    return {};
}

Delivery JackOutput::flush() {
    Delivery delivery;
    delivery.sent = queued_ - flushedQueued_;
    const auto written = [&] {
        return std::min<std::uint64_t>(
            state_->written.load(std::memory_order_acquire) - flushedWritten_, delivery.sent);
    };
    while (written() < delivery.sent) {
        if (state_->stopped.load(std::memory_order_acquire)) {
            delivery.result = MidiResult::failure(MidiError::ServerGone);
            break;
        }
        if (!state_->answering()) {
            delivery.result = MidiResult::failure(MidiError::NotAnswering);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    delivery.left = written();
    if (delivery.result.ok() && !open_.empty() && !state_->isConnectedTo(open_)) {
        delivery.result = MidiResult::failure(MidiError::ConnectionGone, shown(open_));
        delivery.left = 0;
    }
    if (!delivery.result.ok()) {
        // What did not leave now is not to leave later, when it is not waited for.
        state_->generation.fetch_add(1, std::memory_order_acq_rel);
        undelivered_ = delivery.result;
    }
    flushedQueued_ = queued_;
    flushedWritten_ = state_->written.load(std::memory_order_acquire);
    return delivery;
}

MidiResult JackOutput::close() {
    if (open_.empty()) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    MidiResult result = std::exchange(undelivered_, {});
    if (queued_ > flushedQueued_ && result.ok()) {
        result = flush().result;
    }
    const std::string port = std::exchange(open_, {});
    // The cycle that carried the last message must have passed, and the
    // connection must still stand, for what was sent to have arrived.
    if (result.ok() && queued_ > openedQueued_) {
        const std::uint64_t carried = state_->pipeWire ? kPipeWireCarried : kJackdCarried;
        if (!state_->awaitCycles(state_->lastWriteCycle.load(std::memory_order_relaxed) + carried +
                                 1)) {
            result = MidiResult::failure(state_->stopped.load(std::memory_order_acquire)
                                             ? MidiError::ServerGone
                                             : MidiError::NotAnswering);
        } else if (!state_->isConnectedTo(port)) {
            result = MidiResult::failure(MidiError::ConnectionGone, shown(port));
        }
    }
    tell({});
    state_->generation.fetch_add(1, std::memory_order_acq_rel);
    // A server that does not answer is not asked: the thread catches up once
    // it does. The disconnect is not waited for: what comes next on JACK's
    // thread (another open, the end) comes after it, and the end of the
    // client takes its connections with it.
    if (state_->answering() && !state_->stopped.load(std::memory_order_acquire)) {
        thread_.start([state = state_, port] {
            if (!state->finishing.load(std::memory_order_acquire) && state->connected == port) {
                state->disconnect();
            }
        });
    }
    return result;
}

bool JackOutput::disconnect(const std::string& port) {
    return thread_.run([state = state_, port] {
        if (state->connected == port) {
            state->disconnect();
        }
    });
}

void JackOutput::openAhead(std::string name, int entry) {
    dropAhead();
    auto ahead = std::make_shared<Ahead>();
    ahead->task = thread_.start([state = state_, ahead, name = std::move(name), entry] {
        std::vector<std::string> names;
        const std::vector<std::string> ports = state->ports();
        for (const std::string& port : ports) {
            names.push_back(shown(port));
        }
        if (const std::optional<int> found = findOutput(names, name, entry)) {
            ahead->port = ports[static_cast<std::size_t>(*found)];
            ahead->result = state->connect(ahead->port);
        }
    });
    if (ahead->task) {
        ahead_ = std::move(ahead);
    }
}

void JackOutput::dropAhead() {
    if (const std::shared_ptr<Ahead> ahead = std::exchange(ahead_, nullptr);
        ahead && thread_.wait(ahead->task) && ahead->result.ok()) {
        disconnect(ahead->port);
    }
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
