// The ALSA sequencer's output: RtMidi sends through its own sequencer client,
// and a client of ours tells when the destination port has gone.

#include "midi/alsa_watch.h"
#include "midi/rtmidi_host.h"
#include "midi/rtmidi_output.h"

namespace zr70 {
namespace {

class AlsaOutput : public RtMidiOutput {
public:
    AlsaOutput() : RtMidiOutput(PortNaming::AlsaNumbered) {}

    bool start() {
        return compiled(RtMidi::LINUX_ALSA) &&
               createClient(RtMidi::LINUX_ALSA, RtMidiHost::kClientName) && listPorts();
    }

    HostResult open(const OutputPort& port) override {
        std::string nameNow;
        const std::optional<unsigned int> number = findPort(port, nameNow);
        if (!number) {
            return hostFailure(RtMidiHost::kDeviceGone, port.display + " is not there any more.");
        }
        if (HostResult opened = openPort(*number); !opened.ok()) {
            return opened;
        }
        destination_ = alsaAddress(nameNow);
        return {};
    }

    HostResult send(const OutputPort& port, std::span<const std::uint8_t> message) override {
        if (destination_ && watch_.gone(*destination_)) {
            return hostFailure(RtMidiHost::kDeviceGone, port.display + " is not there any more.");
        }
        return sendMessage(message);
    }

    HostResult close() override { return closePort(); }

private:
    /// "ALSA: Midi Through Port-0" for "Midi Through:Midi Through Port-0",
    /// where the port repeats its client's name.
    std::string displayName(const std::string& stable) const override {
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

    AlsaWatch watch_;
    std::optional<AlsaAddress> destination_; ///< where the open port sends
};

} // namespace

std::unique_ptr<RtMidiOutput> makeAlsaOutput() {
    return startedOutput<AlsaOutput>();
}

} // namespace zr70
