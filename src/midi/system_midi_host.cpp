#include "midi/system_midi_host.h"

#include <utility>

namespace zr70 {

OutputList SystemMidiHost::outputs() {
    OutputList list = jack_.outputs();
    list.names.insert(list.names.begin(), alsa_.outputs().begin(), alsa_.outputs().end());
    return list;
}

void SystemMidiHost::openAhead(std::string name, int index) {
    jack_.openAhead(std::move(name), index - alsaCount());
}

MidiResult SystemMidiHost::open(int index) {
    if (open_ != Open::None) {
        return MidiResult::failure(MidiError::AlreadyOpen);
    }
    if (index < 0) {
        return MidiResult::failure(MidiError::NoSuchOutput, std::to_string(index));
    }
    MidiResult opened;
    if (index < alsaCount()) {
        // A JACK output opened ahead is closed when an ALSA one is wanted.
        jack_.dropAhead();
        opened = alsa_.open(index, index);
        open_ = opened.ok() ? Open::Alsa : Open::None;
    } else {
        // Past the ALSA outputs every number is JACK's, which answers it
        // with its own failure when it names none of its outputs.
        opened = jack_.open(index - alsaCount(), index);
        open_ = opened.ok() ? Open::Jack : Open::None;
    }
    return opened;
}

MidiResult SystemMidiHost::send(std::span<const std::uint8_t> message) {
    switch (open_) {
    case Open::Alsa:
        return alsa_.send(message);
    case Open::Jack:
        return jack_.send(message);
    case Open::None:
        break;
    }
    return MidiResult::failure(MidiError::NotOpen);
}

Delivery SystemMidiHost::flush() {
    switch (open_) {
    case Open::Alsa:
        return alsa_.flush();
    case Open::Jack:
        return jack_.flush();
    case Open::None:
        break;
    }
    return {0, 0, MidiResult::failure(MidiError::NotOpen)};
}

MidiResult SystemMidiHost::close() {
    const Open closing = std::exchange(open_, Open::None);
    switch (closing) {
    case Open::Alsa:
        return alsa_.close();
    case Open::Jack:
        return jack_.close();
    case Open::None:
        break;
    }
    return MidiResult::failure(MidiError::NotOpen);
}

} // namespace zr70
