#include "midi/rtmidi_host.h"

#include "midi/port_names.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace zr70 {
namespace {

constexpr const char* kClientName = "zr70";
constexpr const char* kWatchName = "zr70-watch";
constexpr const char* kPortName = "out";

/// libjack names the socket on which a client hears from its server after the
/// client alone, so a client of the same name opening on another server of the
/// machine at the same moment can take it, and the open fails. Such a failure
/// passes: an open is tried this many times more.
constexpr int kJackOpenRetries = 2;

/// 20 to 49 ms, drawn anew by every process: two programs whose opens met and
/// failed must not try again in step.
std::chrono::milliseconds jackRetryWait() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::minstd_rand draw(static_cast<std::uint_fast32_t>(now) ^
                          (static_cast<std::uint_fast32_t>(::getpid()) * 2654435761u));
    return std::chrono::milliseconds(20 + draw() % 30);
}

/// RtMidi's JACK output copies each message with a 4-byte length into a
/// 16 KiB ring buffer that its process callback empties once per cycle, and
/// spins when the buffer is full. Refusing to put more than this into it
/// within two cycles keeps a send from ever waiting there.
constexpr std::size_t kJackBacklogLimit = 6000;

/// Longest wait for a new JACK connection to show. A busy server switches to
/// a new graph only once every client has finished its cycle, which can take
/// many cycles; a server that has stopped running cycles without going away
/// never shows it.
constexpr std::chrono::milliseconds kConnectWait{1000};

void ignoreJackText(const char*) {}
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

/// libjack and alsa-lib print their own complaints to stderr (for example
/// when there is no server or no sequencer); the user sees our messages only.
void silenceLibraries() {
    static const bool silenced = [] {
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
        snd_lib_error_set_handler(ignoreAlsaError);
        return true;
    }();
    (void)silenced;
}

/// Takes what RtMidi writes to std::cerr while an output is being created,
/// before an error callback can be set on it.
class CerrCapture {
public:
    CerrCapture() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(previous_); }
    CerrCapture(const CerrCapture&) = delete;
    CerrCapture& operator=(const CerrCapture&) = delete;

    bool empty() const { return text_.str().empty(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

bool isJack(RtMidi::Api api) {
    return api == RtMidi::UNIX_JACK;
}

PortNaming namingOf(RtMidi::Api api) {
    return isJack(api) ? PortNaming::Plain : PortNaming::AlsaNumbered;
}

/// "ALSA: Midi Through Port-0" for "Midi Through:Midi Through Port-0", where
/// the port repeats its client's name; "JACK: dump:input" for a JACK port.
std::string displayName(RtMidi::Api api, const std::string& stable) {
    if (isJack(api)) {
        return "JACK: " + stable;
    }
    const std::size_t colon = stable.find(':');
    if (colon != std::string::npos) {
        const std::string_view client = std::string_view(stable).substr(0, colon);
        const std::string_view port = std::string_view(stable).substr(colon + 1);
        if (port.starts_with(client)) {
            return "ALSA: " + std::string(port);
        }
    }
    return "ALSA: " + stable;
}

/// A JACK client of our own beside RtMidi's, which RtMidi keeps to itself:
/// it learns when the server goes away, counts process cycles, and reads the
/// connection graph, all without a round trip to the server.
class JackWatch {
public:
    JackWatch() = default;
    ~JackWatch() {
        if (client_ != nullptr) {
            jack_client_close(client_);
        }
    }
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    /// False when no JACK server is running. A failure while the server is
    /// there is tried again, as it passes.
    bool start() {
        // A name of this process alone: the watch is never the client whose
        // socket another process takes.
        const std::string name = std::string(kWatchName) + "-" + std::to_string(::getpid());
        for (int attempt = 0;; ++attempt) {
            jack_status_t status{};
            if (open(name, status)) {
                return true;
            }
            const bool serverThere = (status & JackServerFailed) == 0 || serverSocketExists();
            if (!serverThere || attempt == kJackOpenRetries) {
                return false;
            }
            std::this_thread::sleep_for(jackRetryWait());
        }
    }

    bool serverRunning() const {
        return client_ != nullptr && !stopped_.load(std::memory_order_acquire);
    }

    std::uint64_t cycles() const { return cycles_.load(std::memory_order_acquire); }

    /// `base`, or `base` with a number, whichever no JACK client uses yet, so
    /// that the name of RtMidi's port is known.
    std::string unusedClientName(const std::string& base) const {
        for (int number = 1; number < 100; ++number) {
            const std::string name = number == 1 ? base : base + "-" + std::to_string(number);
            char* uuid = jack_get_uuid_for_client_name(client_, name.c_str());
            if (uuid == nullptr) {
                return name;
            }
            jack_free(uuid);
        }
        return base;
    }

    bool connected(const std::string& source, const std::string& destination) const {
        if (!serverRunning()) {
            return false;
        }
        const jack_port_t* port = jack_port_by_name(client_, source.c_str());
        return port != nullptr && jack_port_connected_to(port, destination.c_str()) != 0;
    }

private:
    bool open(const std::string& name, jack_status_t& status) {
        client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
        if (client_ == nullptr) {
            return false;
        }
        jack_on_info_shutdown(client_, &JackWatch::serverStopped, this);
        jack_set_process_callback(client_, &JackWatch::processCycle, this);
        if (jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
            return false;
        }
        return true;
    }

    /// Whether the socket of the server that clients of this process open on
    /// is there: the server runs, or has just started or stopped.
    static bool serverSocketExists() {
        const char* server = std::getenv("JACK_DEFAULT_SERVER");
        const std::string base = std::string("/dev/shm/jack_") +
                                 (server != nullptr && *server != '\0' ? server : "default") + "_";
        // The second form is that of a server open to every user.
        return ::access((base + std::to_string(::getuid()) + "_0").c_str(), F_OK) == 0 ||
               ::access((base + "0").c_str(), F_OK) == 0;
    }

    static int processCycle(jack_nframes_t, void* watch) {
        static_cast<JackWatch*>(watch)->cycles_.fetch_add(1, std::memory_order_acq_rel);
        return 0;
    }
    static void serverStopped(jack_status_t, const char*, void* watch) {
        static_cast<JackWatch*>(watch)->stopped_.store(true, std::memory_order_release);
    }

    jack_client_t* client_ = nullptr;
    std::atomic<bool> stopped_{false};
    std::atomic<std::uint64_t> cycles_{0};
};

/// An ALSA sequencer client of our own beside RtMidi's: a message to a port
/// that has gone (a USB device unplugged) leaves RtMidi's without an error, as
/// the sequencer takes events with no one subscribed. It answers from the
/// kernel at once, without waiting on anything.
class AlsaWatch {
public:
    AlsaWatch() = default;
    ~AlsaWatch() {
        if (info_ != nullptr) {
            snd_seq_port_info_free(info_);
        }
        if (seq_ != nullptr) {
            snd_seq_close(seq_);
        }
    }
    AlsaWatch(const AlsaWatch&) = delete;
    AlsaWatch& operator=(const AlsaWatch&) = delete;

    /// True only when the sequencer says for certain that no port has
    /// `address`; without a sequencer client of our own the port counts as
    /// there, and sends go on as RtMidi takes them.
    bool gone(AlsaAddress address) {
        if (!started_) {
            started_ = true;
            if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
                seq_ = nullptr;
            } else if (snd_seq_port_info_malloc(&info_) < 0) {
                info_ = nullptr;
            }
        }
        if (seq_ == nullptr || info_ == nullptr) {
            return false;
        }
        const int result = snd_seq_get_any_port_info(seq_, address.client, address.port, info_);
        // ENXIO: the client has gone; ENOENT: it is there, but not the port.
        return result == -ENXIO || result == -ENOENT;
    }

private:
    bool started_ = false;
    snd_seq_t* seq_ = nullptr;
    snd_seq_port_info_t* info_ = nullptr;
};

/// RtMidi's JACK output waits up to a second for a process cycle when its
/// port closes, and after the server has gone no cycle comes. Such an output
/// is kept, unused, until the process ends rather than closed.
void keepUntilExit(std::unique_ptr<RtMidiOut> midi) {
    static auto* const kept = new std::vector<std::unique_ptr<RtMidiOut>>;
    kept->push_back(std::move(midi));
}

struct Output {
    RtMidi::Api api;
    std::unique_ptr<RtMidiOut> midi; ///< null once buried after the server stopped
    std::string client;              ///< our client name (JACK)
    std::vector<std::string> listed; ///< the API's port names in the device list
};

struct Device {
    std::size_t output;  ///< index into the outputs
    std::size_t entry;   ///< index into the output's listed names
    std::string name;    ///< the port's whole name when the list was made
    std::string display; ///< what the device list shows
};

std::string defaultText(int code) {
    switch (code) {
    case RtMidiHost::kNoSuchDevice:
        return "There is no such MIDI output device.";
    case RtMidiHost::kDeviceGone:
        return "The MIDI output device is not there any more.";
    case RtMidiHost::kAlreadyOpen:
        return "A MIDI output device is open already.";
    case RtMidiHost::kOpenFailed:
        return "The MIDI output device could not be opened.";
    case RtMidiHost::kNotConnected:
        return "The MIDI output device could not be connected.";
    case RtMidiHost::kNotOpen:
        return "No MIDI output device is open.";
    case RtMidiHost::kNotPrepared:
        return "The message buffer is not prepared.";
    case RtMidiHost::kSendFailed:
        return "The MIDI message could not be sent.";
    case RtMidiHost::kServerGone:
        return "The JACK server has stopped.";
    case RtMidiHost::kDestinationGone:
        return "The JACK destination port has gone.";
    case RtMidiHost::kOutputStalled:
        return "JACK is not taking MIDI messages any more.";
    case RtMidiHost::kCloseFailed:
        return "The MIDI output device could not be closed.";
    default:
        return "Unknown MIDI error " + std::to_string(code) + ".";
    }
}

} // namespace

struct RtMidiHost::Impl {
    Impl() {
        silenceLibraries();
        addOutput(RtMidi::LINUX_ALSA);
        if (watch.start()) {
            addOutput(RtMidi::UNIX_JACK);
        }
    }

    ~Impl() {
        if (current >= 0) {
            Output& output = outputOf(current);
            if (isJack(output.api) && !watch.serverRunning() && output.midi) {
                keepUntilExit(std::move(output.midi));
            }
        }
        // The outputs close their ports and clients before the watch goes.
        outputs.clear();
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    /// RtMidi reports errors and warnings here, never on stderr or by throwing.
    static void rtMidiError(RtMidiError::Type, const std::string& text, void* impl) {
        Report& report = static_cast<Impl*>(impl)->report;
        if (!report.failed) {
            report.failed = true;
            report.text = text;
        }
    }

    /// An output of `api`, or null when it cannot start (no ALSA sequencer,
    /// no JACK server, a failed JACK open): RtMidi then throws, or prints a
    /// warning, which is all it prints while an output is created.
    static std::unique_ptr<RtMidiOut> createOutput(RtMidi::Api api, const std::string& client) {
        CerrCapture quiet;
        std::unique_ptr<RtMidiOut> midi;
        try {
            midi = std::make_unique<RtMidiOut>(api, client);
        } catch (const RtMidiError&) {
            return nullptr;
        }
        if (!quiet.empty()) {
            return nullptr;
        }
        return midi;
    }

    void addOutput(RtMidi::Api api) {
        std::vector<RtMidi::Api> compiled;
        RtMidi::getCompiledApi(compiled);
        if (std::find(compiled.begin(), compiled.end(), api) == compiled.end()) {
            return;
        }
        std::string client = kClientName;
        std::unique_ptr<RtMidiOut> midi;
        for (int attempt = 0;; ++attempt) {
            if (isJack(api)) {
                // Like the watch, RtMidi's JACK client has a name of this
                // process alone ("zr70-<pid>"): a client of the same name on
                // another server can then never take its socket, neither
                // failing its open nor leaving it tied to the other server.
                client = watch.unusedClientName(std::string(kClientName) + "-" +
                                                std::to_string(::getpid()));
            }
            midi = createOutput(api, client);
            // The watch is up, so the server is there and a failed JACK open
            // passes; an ALSA sequencer that cannot be opened stays so.
            if (midi || !isJack(api) || !watch.serverRunning() || attempt == kJackOpenRetries) {
                break;
            }
            std::this_thread::sleep_for(jackRetryWait());
        }
        if (!midi) {
            return;
        }
        midi->setErrorCallback(&Impl::rtMidiError, this);

        const std::size_t index = outputs.size();
        std::vector<Device> found;
        std::vector<std::string> listed;
        try {
            const unsigned int count = midi->getPortCount();
            for (unsigned int port = 0; port < count; ++port) {
                report = {};
                const std::string name = midi->getPortName(port);
                if (name.empty() || report.failed) {
                    continue;
                }
                const std::string stable = stablePortName(namingOf(api), name);
                found.push_back({index, listed.size(), name, displayName(api, stable)});
                listed.push_back(name);
            }
        } catch (const RtMidiError&) {
            return;
        }
        devices.insert(devices.end(), found.begin(), found.end());
        outputs.push_back({api, std::move(midi), client, std::move(listed)});
    }

    /// The device's port number among the API's ports now; ports come and go
    /// and are numbered anew, so the number from start-up is never trusted.
    std::optional<unsigned int> findPort(Output& output, const Device& device,
                                         std::string& nameNow) {
        std::vector<std::string> now;
        const unsigned int count = output.midi->getPortCount();
        for (unsigned int port = 0; port < count; ++port) {
            report = {};
            std::string name = output.midi->getPortName(port);
            now.push_back(report.failed ? std::string() : std::move(name));
        }
        report = {};
        const std::optional<std::size_t> port =
            findPortAgain(namingOf(output.api), output.listed, device.entry, now);
        if (!port) {
            return std::nullopt;
        }
        nameNow = now[*port];
        return static_cast<unsigned int>(*port);
    }

    int fail(int code, std::string text) {
        texts[code] = std::move(text);
        return code;
    }

    int failWithReport(int code) {
        std::string text = report.failed ? report.text : defaultText(code);
        report = {};
        return fail(code, std::move(text));
    }

    Output& outputOf(int device) {
        return outputs[devices[static_cast<std::size_t>(device)].output];
    }

    std::string ourJackPort(const Output& output) const { return output.client + ":" + kPortName; }

    int openDevice(int index) {
        if (current >= 0) {
            return fail(kAlreadyOpen, defaultText(kAlreadyOpen));
        }
        if (index < 0 || static_cast<std::size_t>(index) >= devices.size()) {
            return fail(kNoSuchDevice,
                        "There is no MIDI output device number " + std::to_string(index) + ".");
        }
        const Device& device = devices[static_cast<std::size_t>(index)];
        Output& output = outputs[device.output];
        if (!output.midi || (isJack(output.api) && !watch.serverRunning())) {
            return fail(kServerGone, defaultText(kServerGone));
        }

        report = {};
        std::string nameNow;
        const std::optional<unsigned int> port = findPort(output, device, nameNow);
        if (!port) {
            return fail(kDeviceGone, device.display + " is not there any more.");
        }
        report = {};
        output.midi->openPort(*port, kPortName);
        if (report.failed || !output.midi->isPortOpen()) {
            const int code = failWithReport(kOpenFailed);
            output.midi->closePort();
            report = {};
            return code;
        }
        // RtMidi's JACK output does not look at the result of its connect.
        if (isJack(output.api) && !connectedWithin(output, device)) {
            output.midi->closePort();
            report = {};
            return fail(kNotConnected, "JACK could not connect to " + device.name + ".");
        }
        current = index;
        prepared = false;
        backlog = 0;
        alsaDestination = isJack(output.api) ? std::nullopt : alsaAddress(nameNow);
        return 0;
    }

    /// A new connection shows in the graph that clients read only from the
    /// server's next cycle on, so a missing one is looked for until
    /// kConnectWait has passed.
    bool connectedWithin(const Output& output, const Device& device) {
        const std::string ours = ourJackPort(output);
        const auto deadline = std::chrono::steady_clock::now() + kConnectWait;
        while (watch.serverRunning()) {
            if (watch.connected(ours, device.name)) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    int send(std::span<const std::uint8_t> message) {
        if (current < 0) {
            return fail(kNotOpen, defaultText(kNotOpen));
        }
        if (!prepared) {
            return fail(kNotPrepared, defaultText(kNotPrepared));
        }
        const Device& device = devices[static_cast<std::size_t>(current)];
        Output& output = outputs[device.output];
        const std::size_t bytes = message.size() + sizeof(int);
        if (isJack(output.api)) {
            if (!watch.serverRunning()) {
                return fail(kServerGone, defaultText(kServerGone));
            }
            if (!watch.connected(ourJackPort(output), device.name)) {
                return fail(kDestinationGone, device.display + " is not connected any more.");
            }
            const std::uint64_t now = watch.cycles();
            if (now >= backlogSince + 2) {
                backlog = 0;
            }
            if (backlog == 0) {
                backlogSince = now;
            }
            if (backlog + bytes > kJackBacklogLimit) {
                return fail(kOutputStalled, defaultText(kOutputStalled));
            }
        }
        if (alsaDestination && alsa.gone(*alsaDestination)) {
            return fail(kDeviceGone, device.display + " is not there any more.");
        }
        report = {};
        output.midi->sendMessage(message.data(), message.size());
        if (report.failed) {
            return failWithReport(kSendFailed);
        }
        if (isJack(output.api)) {
            backlog += bytes;
        }
        return 0;
    }

    int close() {
        if (current < 0) {
            return fail(kNotOpen, defaultText(kNotOpen));
        }
        Output& output = outputOf(current);
        current = -1;
        prepared = false;
        if (!output.midi) {
            return 0;
        }
        if (isJack(output.api) && !watch.serverRunning()) {
            keepUntilExit(std::move(output.midi));
            return 0;
        }
        report = {};
        output.midi->closePort();
        return report.failed ? failWithReport(kCloseFailed) : 0;
    }

    struct Report {
        bool failed = false;
        std::string text;
    };

    JackWatch watch; // declared first, so it is destroyed last
    AlsaWatch alsa;
    std::vector<Output> outputs;
    std::vector<Device> devices;
    Report report;
    std::map<int, std::string> texts;
    int current = -1; ///< the open device, -1 when none
    bool prepared = false;
    std::size_t backlog = 0;
    std::uint64_t backlogSince = 0;
    std::optional<AlsaAddress> alsaDestination; ///< where the open ALSA port sends
};

RtMidiHost::RtMidiHost() : impl_(std::make_unique<Impl>()) {}

RtMidiHost::~RtMidiHost() = default;

int RtMidiHost::deviceCount() {
    return static_cast<int>(impl_->devices.size());
}

int RtMidiHost::describeDevice(int index, std::string& name) {
    if (index < 0 || static_cast<std::size_t>(index) >= impl_->devices.size()) {
        return impl_->fail(kNoSuchDevice, defaultText(kNoSuchDevice));
    }
    name = impl_->devices[static_cast<std::size_t>(index)].display;
    return 0;
}

int RtMidiHost::openDevice(int index) {
    try {
        return impl_->openDevice(index);
    } catch (const std::exception& error) {
        return impl_->fail(kOpenFailed, error.what());
    }
}

int RtMidiHost::prepareBuffer() {
    if (impl_->current < 0) {
        return impl_->fail(kNotOpen, defaultText(kNotOpen));
    }
    // RtMidi copies every message on send, so there is nothing to lock down;
    // the flag keeps the host's order of operations honest.
    impl_->prepared = true;
    return 0;
}

int RtMidiHost::releaseBuffer() {
    if (!impl_->prepared) {
        return impl_->fail(kNotPrepared, defaultText(kNotPrepared));
    }
    impl_->prepared = false;
    return 0;
}

int RtMidiHost::sendLongMessage(std::span<const std::uint8_t> message) {
    try {
        return impl_->send(message);
    } catch (const std::exception& error) {
        return impl_->fail(kSendFailed, error.what());
    }
}

int RtMidiHost::closeDevice() {
    try {
        return impl_->close();
    } catch (const std::exception& error) {
        return impl_->fail(kCloseFailed, error.what());
    }
}

std::string RtMidiHost::errorText(int code) {
    const auto found = impl_->texts.find(code);
    return cutErrorText(found != impl_->texts.end() ? found->second : defaultText(code));
}

} // namespace zr70
