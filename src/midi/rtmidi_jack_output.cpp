// The JACK server's output: RtMidi sends through its own JACK client, and a
// client of ours watches the server, its cycles and the connection, so that
// nothing ever waits on a server or a destination that has gone.

#include "midi/jack_watch.h"
#include "midi/rtmidi_host.h"
#include "midi/rtmidi_output.h"

#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace zr70 {
namespace {

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

/// Cycles after the last send before a close: RtMidi's cycle that empties its
/// buffer, the receiver's, and one to spare.
constexpr std::uint64_t kDrainCycles = 3;

/// RtMidi's JACK output waits up to a second for a process cycle when its
/// port closes, and after the server has gone no cycle comes. Such an output
/// is kept, unused, until the process ends rather than closed.
void keepUntilExit(std::unique_ptr<RtMidiOut> midi) {
    static auto* const kept = new std::vector<std::unique_ptr<RtMidiOut>>;
    kept->push_back(std::move(midi));
}

class JackOutput : public RtMidiOutput {
public:
    JackOutput() : RtMidiOutput(PortNaming::Plain) {}

    ~JackOutput() override {
        // RtMidi's client waits on the server when it closes: for a cycle
        // after its port has gone, and for the server's reply.
        const bool keep = watch_.serverRunning() ? !watch_.awaitCycle() : open_;
        if (midi_ && keep) {
            keepUntilExit(std::move(midi_));
        }
        // RtMidi's client closes its port before the watch goes.
        midi_.reset();
    }

    bool start() {
        if (!watch_.start() || !compiled(RtMidi::UNIX_JACK)) {
            return false;
        }
        for (int attempt = 0;; ++attempt) {
            // Like the watch, RtMidi's client has a name of this process alone
            // ("zr70-<pid>"): a client of the same name on another server can
            // then never take its socket, neither failing its open nor
            // leaving it tied to the other server.
            client_ = watch_.unusedClientName(std::string(RtMidiHost::kClientName) + "-" +
                                              std::to_string(::getpid()));
            // The watch is up, so the server is there and a failed open passes.
            if (createClient(RtMidi::UNIX_JACK, client_)) {
                return listPorts();
            }
            if (!watch_.serverRunning() || attempt == kJackOpenRetries) {
                return false;
            }
            std::this_thread::sleep_for(jackRetryWait());
        }
    }

    HostResult open(const OutputPort& port) override {
        if (!watch_.serverRunning() || (!midi_ && watch_.answering())) {
            return hostFailure(RtMidiHost::kServerGone, defaultText(RtMidiHost::kServerGone));
        }
        // Registering a port waits on the server. (Without RtMidi's client,
        // kept after the server stopped answering, there is no port to open.)
        if (!midi_ || !watch_.awaitCycle()) {
            return notAnswering();
        }
        std::string nameNow;
        const std::optional<unsigned int> number = findPort(port, nameNow);
        if (!number) {
            return hostFailure(RtMidiHost::kDeviceGone, port.display + " is not there any more.");
        }
        if (HostResult opened = openPort(*number); !opened.ok()) {
            return opened;
        }
        // RtMidi's JACK output does not look at the result of its connect.
        if (!connectedWithin(port)) {
            closePort();
            return hostFailure(RtMidiHost::kNotConnected,
                               "JACK could not connect to " + port.name + ".");
        }
        open_ = true;
        backlog_ = 0;
        return {};
    }

    HostResult send(const OutputPort& port, std::span<const std::uint8_t> message) override {
        if (!watch_.serverRunning()) {
            return hostFailure(RtMidiHost::kServerGone, defaultText(RtMidiHost::kServerGone));
        }
        if (!watch_.answering()) {
            return notAnswering();
        }
        if (!watch_.connected(ourPort(), port.name)) {
            return hostFailure(RtMidiHost::kDestinationGone,
                               port.display + " is not connected any more.");
        }
        const std::size_t bytes = message.size() + sizeof(int);
        const std::uint64_t now = watch_.cycles();
        if (now >= backlogSince_ + 2) {
            backlog_ = 0;
        }
        if (backlog_ == 0) {
            backlogSince_ = now;
        }
        if (backlog_ + bytes > kJackBacklogLimit) {
            return hostFailure(RtMidiHost::kOutputStalled, defaultText(RtMidiHost::kOutputStalled));
        }
        if (HostResult sent = sendMessage(message); !sent.ok()) {
            return sent;
        }
        backlog_ += bytes;
        lastSend_ = now;
        return {};
    }

    HostResult close() override {
        open_ = false;
        if (!midi_) {
            return {};
        }
        // After the server has gone no cycle comes, and a server that does
        // not answer never replies: the port is left to the end of the process.
        if (!watch_.serverRunning() || !watch_.awaitCycle()) {
            keepUntilExit(std::move(midi_));
            return {};
        }
        // RtMidi hands what is still in its buffer to the port in the next
        // cycle and unregisters the port after it; PipeWire then drops what
        // that cycle carried. The messages are given a few cycles to leave.
        while (watch_.cycles() < lastSend_ + kDrainCycles) {
            if (!watch_.awaitCycle()) {
                keepUntilExit(std::move(midi_));
                return {};
            }
        }
        return closePort();
    }

private:
    /// "JACK: dump:input" for a JACK port.
    std::string displayName(const std::string& stable) const override { return "JACK: " + stable; }

    std::string ourPort() const { return client_ + ":" + RtMidiHost::kPortName; }

    static HostResult notAnswering() {
        return hostFailure(RtMidiHost::kNotAnswering, defaultText(RtMidiHost::kNotAnswering));
    }

    /// A new connection shows in the graph that clients read only from the
    /// server's next cycle on, so a missing one is looked for until
    /// kConnectWait has passed. Once it shows, the link may not carry data
    /// yet on PipeWire: it must have been there for the server's Settle,
    /// within the same wait.
    bool connectedWithin(const OutputPort& port) {
        const Settle settle = watch_.pipeWire() ? kPipeWireSettle : kJackdSettle;
        const std::string ours = ourPort();
        const auto start = std::chrono::steady_clock::now();
        const auto deadline = start + kConnectWait;
        std::optional<std::uint64_t> shownAtCycle;
        auto shownAt = start;
        while (watch_.serverRunning()) {
            const auto now = std::chrono::steady_clock::now();
            if (!watch_.connected(ours, port.name)) {
                shownAtCycle.reset();
            } else if (!shownAtCycle) {
                shownAtCycle = watch_.cycles();
                shownAt = now;
            } else if (watch_.cycles() >= *shownAtCycle + settle.cycles &&
                       now - shownAt >= settle.time) {
                return true;
            }
            if (now > deadline) {
                return shownAtCycle.has_value();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    JackWatch watch_;
    std::string client_; ///< RtMidi's client name
    bool open_ = false;
    std::size_t backlog_ = 0;
    std::uint64_t backlogSince_ = 0;
    std::uint64_t lastSend_ = 0; ///< the watch's cycle count at the last send
};

} // namespace

std::unique_ptr<RtMidiOutput> makeJackOutput() {
    return startedOutput<JackOutput>();
}

} // namespace zr70
