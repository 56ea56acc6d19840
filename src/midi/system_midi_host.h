#pragma once

#include "midi/bounded_midi_host.h"
#include "midi/joined_midi_host.h"
#include "midi/rtmidi_host.h"

namespace zr70 {

/// The MIDI outputs of this machine as the program uses them, window or not:
/// the ALSA sequencer's outputs, listed and used at once, then JACK's, whose
/// every operation waits at most about 2 s on a thread of its own, joined into
/// one device list. A JACK server that stops answering never holds up the
/// program nor the ALSA outputs.
class SystemMidiHost : public MidiHost {
public:
    SystemMidiHost();
    ~SystemMidiHost() override;
    SystemMidiHost(const SystemMidiHost&) = delete;
    SystemMidiHost& operator=(const SystemMidiHost&) = delete;

    int deviceCount() override;
    int describeDevice(int index, std::string& name) override;
    HostResult openDevice(int index) override;
    HostResult sendLongMessage(std::span<const std::uint8_t> message) override;
    HostResult closeDevice() override;

    /// Starts opening the JACK output listed as `name` (of twins, the one at
    /// `index` when it is one of them), if there is one, on JACK's thread (see
    /// BoundedMidiHost::openAhead): the open that is to come runs while the
    /// caller builds its window.
    void openAhead(std::string name, int index);

    /// Closes JACK's clients. False when the JACK server did not answer in
    /// time: its thread is left behind, and the process must end with _exit
    /// (see BoundedMidiHost::finish).
    bool finish();

    /// The error text of every JACK operation while the server does not answer.
    static constexpr const char* kJackNotAnswering = "The JACK server does not answer.";

private:
    // The ALSA host is made first: RtMidi's creation of an output is not to
    // run on two threads at once.
    RtMidiHost alsa_;
    BoundedMidiHost jack_;
    JoinedMidiHost joined_;
};

} // namespace zr70
