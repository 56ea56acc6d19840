#pragma once

#include "midi/midi_output.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// The ALSA sequencer's ports that take MIDI, where a USB MIDI interface
/// shows up, as outputs of the program, through RtMidi's ALSA client ("zr70")
/// and its port "out". The ports are listed once, when this is made; an open
/// finds its port again by name, as a device plugged in again comes back
/// under new numbers. Nothing here ever waits: the sequencer answers from the
/// kernel at once.
class AlsaOutput : public MidiOutput {
public:
    /// Lists the sequencer's ports; none without a sequencer.
    AlsaOutput();
    ~AlsaOutput();
    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    /// As the device list shows them: "ALSA: Midi Through Port-0". A port
    /// whose name could not be read has an entry all the same, which says so,
    /// so that every later entry keeps its number.
    OutputList outputs() override;

    MidiResult open(int index) override;
    MidiResult send(std::span<const std::uint8_t> message) override;
    Delivery flush() override;
    MidiResult close() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zr70
