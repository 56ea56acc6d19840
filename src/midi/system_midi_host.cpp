#include "midi/system_midi_host.h"

#include <memory>

namespace zr70 {

SystemMidiHost::SystemMidiHost()
    : alsa_(RtMidiHost::Apis::AlsaOnly),
      jack_([] { return std::make_unique<RtMidiHost>(RtMidiHost::Apis::JackOnly); },
            kJackNotAnswering),
      joined_({&alsa_, &jack_}) {}

SystemMidiHost::~SystemMidiHost() = default;

int SystemMidiHost::deviceCount() {
    return joined_.deviceCount();
}

int SystemMidiHost::describeDevice(int index, std::string& name) {
    return joined_.describeDevice(index, name);
}

void SystemMidiHost::openAhead(std::string name, int index) {
    jack_.openAhead(std::move(name), index - alsa_.deviceCount());
}

HostResult SystemMidiHost::openDevice(int index) {
    // A JACK output opened ahead is closed when an ALSA one is wanted.
    if (index < alsa_.deviceCount()) {
        jack_.dropAhead();
    }
    return joined_.openDevice(index);
}

HostResult SystemMidiHost::sendLongMessage(std::span<const std::uint8_t> message) {
    return joined_.sendLongMessage(message);
}

HostResult SystemMidiHost::closeDevice() {
    return joined_.closeDevice();
}

bool SystemMidiHost::finish() {
    return jack_.finish();
}

} // namespace zr70
