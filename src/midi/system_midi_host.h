#pragma once

#include "midi/alsa_output.h"
#include "midi/jack_output.h"
#include "midi/midi_host.h"

#include <array>

namespace zr70 {

/// The MIDI outputs of this machine as the program uses them, window or not:
/// the ALSA sequencer's, listed at once, then those of a running JACK server,
/// whose client opens on a thread of its own while the program starts. A
/// JACK server that stops answering never holds up the program nor the ALSA
/// outputs.
class SystemMidiHost : public MidiHost {
public:
    SystemMidiHost() = default;

    OutputList outputs() override;
    MidiResult open(int index) override;
    MidiResult send(std::span<const std::uint8_t> message) override;
    Delivery flush() override;
    MidiResult close() override;

    /// Starts opening the JACK output listed as `name` (of twins, the one at
    /// `index`), if there is one, while the caller starts: see
    /// JackOutput::openAhead. Another output's open undoes it.
    void openAhead(std::string name, int index);

    /// Closes JACK's client. False when the JACK server did not answer in
    /// time: its thread is left behind, and the process must end with _exit.
    bool finish() { return jack_.finish(); }

private:
    // JACK's client starts opening first: it takes the longest.
    JackOutput jack_;
    AlsaOutput alsa_;
    /// The systems in the order of the list.
    std::array<MidiOutput*, 2> systems_{&alsa_, &jack_};
    /// How many outputs each system had at the last listing.
    std::array<int, 2> counts_{};
    MidiOutput* open_ = nullptr;
};

} // namespace zr70
