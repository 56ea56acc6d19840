#include "midi/system_midi_host.h"

#include <utility>

namespace zr70 {

OutputList SystemMidiHost::outputs() {
    OutputList all;
    for (std::size_t system = 0; system < systems_.size(); ++system) {
        OutputList list = systems_[system]->outputs();
        counts_[system] = static_cast<int>(list.names.size());
        all.names.insert(all.names.end(), list.names.begin(), list.names.end());
        if (all.problem.ok()) {
            all.problem = list.problem;
        }
    }
    return all;
}

void SystemMidiHost::openAhead(std::string name, int index) {
    jack_.openAhead(std::move(name), index - static_cast<int>(alsa_.outputs().names.size()));
}

MidiResult SystemMidiHost::open(int index) {
    if (open_ != nullptr) {
        return MidiResult::failure(MidiError::AlreadyOpen);
    }
    int first = 0;
    for (std::size_t system = 0; system < systems_.size(); ++system) {
        if (index >= first && index < first + counts_[system]) {
            if (systems_[system] != &jack_) {
                jack_.dropAhead();
            }
            const MidiResult opened = systems_[system]->open(index - first);
            open_ = opened.ok() ? systems_[system] : nullptr;
            return opened;
        }
        first += counts_[system];
    }
    return MidiResult::failure(MidiError::NoSuchOutput, std::to_string(index));
}

MidiResult SystemMidiHost::send(std::span<const std::uint8_t> message) {
    return open_ != nullptr ? open_->send(message) : MidiResult::failure(MidiError::NotOpen);
}

Delivery SystemMidiHost::flush() {
    return open_ != nullptr ? open_->flush()
                            : Delivery{0, 0, MidiResult::failure(MidiError::NotOpen)};
}

MidiResult SystemMidiHost::close() {
    MidiOutput* closing = std::exchange(open_, nullptr);
    return closing != nullptr ? closing->close() : MidiResult::failure(MidiError::NotOpen);
}

} // namespace zr70
