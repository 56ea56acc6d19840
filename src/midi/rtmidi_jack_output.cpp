// The JACK server's output: RtMidi sends through its own JACK client, and a
// client of ours watches the server, its cycles and the connection, so that
// nothing ever waits on a server or a destination that has gone.

#include "midi/jack_watch.h"
#include "midi/rtmidi_host.h"
#include "midi/rtmidi_output.h"

#include <unistd.h>

#include <chrono>
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

/// Longest wait at a close for the last messages to leave.
constexpr std::chrono::milliseconds kDrainWait{1000};

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
        if (open_ && !watch_.serverRunning() && midi_) {
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
        if (!midi_ || !watch_.serverRunning()) {
            return hostFailure(RtMidiHost::kServerGone, defaultText(RtMidiHost::kServerGone));
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
        lastSendCycle_ = now;
        return {};
    }

    HostResult close() override {
        open_ = false;
        if (!midi_) {
            return {};
        }
        if (!watch_.serverRunning()) {
            keepUntilExit(std::move(midi_));
            return {};
        }
        waitUntilSent();
        return closePort();
    }

private:
    /// "JACK: dump:input" for a JACK port.
    std::string displayName(const std::string& stable) const override { return "JACK: " + stable; }

    std::string ourPort() const { return client_ + ":" + RtMidiHost::kPortName; }

    /// A new connection shows in the graph that clients read only from the
    /// server's next cycle on, so a missing one is looked for until
    /// kConnectWait has passed.
    bool connectedWithin(const OutputPort& port) {
        const std::string ours = ourPort();
        const auto deadline = std::chrono::steady_clock::now() + kConnectWait;
        while (watch_.serverRunning()) {
            if (watch_.connected(ours, port.name)) {
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    /// RtMidi hands what was sent to its port only in its next process
    /// cycle, and its close waits for one cycle at most a second, then takes
    /// the port away with whatever is still in its buffer. So the port is
    /// closed only once two cycles have passed since the last send, and the
    /// receiver had its chance to read the messages; a server that runs no
    /// cycles is not waited for longer than kDrainWait.
    void waitUntilSent() {
        const auto deadline = std::chrono::steady_clock::now() + kDrainWait;
        while (watch_.serverRunning() && watch_.cycles() < lastSendCycle_ + 2 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    JackWatch watch_;
    std::string client_; ///< RtMidi's client name
    bool open_ = false;
    std::size_t backlog_ = 0;
    std::uint64_t backlogSince_ = 0;
    std::uint64_t lastSendCycle_ = 0; ///< the watch's cycle count at the last send
};

} // namespace

std::unique_ptr<RtMidiOutput> makeJackOutput() {
    auto output = std::make_unique<JackOutput>();
    if (!output->start()) {
        return nullptr;
    }
    return output;
}

} // namespace zr70
