#pragma once

#include "midi/port_names.h"

#include <alsa/asoundlib.h>

namespace zr70 {

/// An ALSA sequencer client of our own beside RtMidi's: a message to a port
/// that has gone (a USB device unplugged) leaves RtMidi's without an error, as
/// the sequencer takes events with no one subscribed. It answers from the
/// kernel at once, without waiting on anything.
class AlsaWatch {
public:
    AlsaWatch() = default;
    ~AlsaWatch();
    AlsaWatch(const AlsaWatch&) = delete;
    AlsaWatch& operator=(const AlsaWatch&) = delete;

    /// True only when the sequencer says for certain that no port has
    /// `address`; without a sequencer client of our own the port counts as
    /// there, and sends go on as RtMidi takes them.
    bool gone(AlsaAddress address);

private:
    bool started_ = false;
    snd_seq_t* seq_ = nullptr;
    snd_seq_port_info_t* info_ = nullptr;
};

} // namespace zr70
