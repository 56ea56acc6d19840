#pragma once

#include "midi/midi_host.h"

#include <memory>

namespace zr70 {

/// The host's MIDI output devices through RtMidi: the output ports of every
/// API that works on this machine, the ALSA sequencer first, then JACK, as one
/// list taken when the host is created. Names tell the API apart ("ALSA: Midi
/// Through Port-0", "JACK: dump:input"). Nothing is printed to the terminal,
/// and no operation waits on a JACK server or a destination that has gone.
class RtMidiHost : public MidiHost {
public:
    /// Codes this host answers with besides 0 for success.
    enum Code : int {
        kNoSuchDevice = 1, ///< the index names no entry of the device list
        kDeviceGone,       ///< the device has left the host since start-up
        kAlreadyOpen,      ///< another device is open
        kOpenFailed,       ///< RtMidi could not open the port
        kNotConnected,     ///< the port opened, but the connection to the device failed
        kNotOpen,          ///< no device is open
        kSendFailed,       ///< RtMidi refused the message
        kServerGone,       ///< the JACK server has stopped
        kDestinationGone,  ///< the JACK destination or our connection to it has gone
        kOutputStalled,    ///< JACK has stopped taking messages from our port
        kCloseFailed,      ///< RtMidi could not close the port
        kNotAnswering,     ///< the JACK server is there but runs no cycles
    };

    /// RtMidi's client name (JACK adds a number while it is taken) and the
    /// name of its output port.
    static constexpr const char* kClientName = "zr70";
    static constexpr const char* kPortName = "out";

    /// The APIs whose outputs the host lists.
    enum class Apis { All, AlsaOnly, JackOnly };

    explicit RtMidiHost(Apis apis = Apis::All);
    ~RtMidiHost() override;
    RtMidiHost(const RtMidiHost&) = delete;
    RtMidiHost& operator=(const RtMidiHost&) = delete;

    int deviceCount() override;
    int describeDevice(int index, std::string& name) override;
    HostResult openDevice(int index) override;
    HostResult sendLongMessage(std::span<const std::uint8_t> message) override;
    HostResult closeDevice() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zr70
