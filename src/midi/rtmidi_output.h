#pragma once

#include "midi/midi_host.h"
#include "midi/port_names.h"

#include <rtmidi/RtMidi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// libjack and alsa-lib print their own complaints to stderr (for example
/// when there is no server or no sequencer); the user sees our messages only.
void silenceLibraries();

/// The text of a host code when nothing better is known.
std::string defaultText(int code);

/// A failure with its text, cut to the length the program shows.
HostResult hostFailure(int code, const std::string& text);

/// A port of an output as it was listed at start-up.
struct OutputPort {
    std::size_t entry;   ///< index into the output's listed names
    std::string name;    ///< the port's whole name when the list was made
    std::string display; ///< what the device list shows
};

/// One RtMidi API's output: RtMidi's client, the ports it listed when it
/// started, and the open, send and close of one port at a time.
class RtMidiOutput {
public:
    virtual ~RtMidiOutput() = default;
    RtMidiOutput(const RtMidiOutput&) = delete;
    RtMidiOutput& operator=(const RtMidiOutput&) = delete;

    const std::vector<OutputPort>& ports() const { return ports_; }

    virtual HostResult open(const OutputPort& port) = 0;
    virtual HostResult send(const OutputPort& port, std::span<const std::uint8_t> message) = 0;
    virtual HostResult close() = 0;

protected:
    explicit RtMidiOutput(PortNaming naming) : naming_(naming) {}

    /// True when RtMidi was built with `api`.
    static bool compiled(RtMidi::Api api);

    /// Creates RtMidi's client for `api`; false when it cannot start (no ALSA
    /// sequencer, no JACK server, a failed JACK open).
    bool createClient(RtMidi::Api api, const std::string& client);

    /// Lists the ports of the client; false when RtMidi fails.
    bool listPorts();

    /// The port's number among the API's ports now; ports come and go and are
    /// numbered anew, so the number from start-up is never trusted.
    std::optional<unsigned int> findPort(const OutputPort& port, std::string& nameNow);

    /// Opens RtMidi's port `number`; a port that fails to open is closed again.
    HostResult openPort(unsigned int number);
    HostResult sendMessage(std::span<const std::uint8_t> message);
    HostResult closePort();

    /// "ALSA: ..." or "JACK: ..." for a port's stable name.
    virtual std::string displayName(const std::string& stable) const = 0;

    std::unique_ptr<RtMidiOut> midi_; ///< null once buried after the JACK server stopped

private:
    struct Report {
        bool failed = false;
        std::string text;
    };

    /// RtMidi reports errors and warnings here, never on stderr or by throwing.
    static void rtMidiError(RtMidiError::Type, const std::string& text, void* output);
    HostResult failWithReport(int code);

    PortNaming naming_;
    Report report_;
    std::vector<std::string> listed_; ///< the API's port names in the device list
    std::vector<OutputPort> ports_;
};

/// A new `Output` once its start() succeeded, else null.
template <typename Output> std::unique_ptr<RtMidiOutput> startedOutput() {
    auto output = std::make_unique<Output>();
    if (!output->start()) {
        return nullptr;
    }
    return output;
}

/// The ALSA sequencer's output, or null when there is none.
std::unique_ptr<RtMidiOutput> makeAlsaOutput();

/// The JACK server's output, or null when no server runs.
std::unique_ptr<RtMidiOutput> makeJackOutput();

} // namespace zr70
