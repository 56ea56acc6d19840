#include "midi/joined_midi_host.h"

namespace zr70 {

JoinedMidiHost::JoinedMidiHost(std::vector<MidiHost*> hosts) : hosts_(std::move(hosts)) {}

int JoinedMidiHost::deviceCount() {
    int count = 0;
    for (MidiHost* host : hosts_) {
        count += host->deviceCount();
    }
    return count;
}

std::pair<MidiHost*, int> JoinedMidiHost::hostOf(int index) {
    for (std::size_t i = 0; i + 1 < hosts_.size(); ++i) {
        const int count = hosts_[i]->deviceCount();
        if (index < count) {
            return {hosts_[i], index};
        }
        index -= count;
    }
    return {hosts_.back(), index};
}

MidiHost& JoinedMidiHost::current() {
    return open_ != nullptr ? *open_ : *hosts_.front();
}

int JoinedMidiHost::describeDevice(int index, std::string& name) {
    const auto [host, local] = hostOf(index);
    return host->describeDevice(local, name);
}

HostResult JoinedMidiHost::openDevice(int index) {
    const auto [host, local] = hostOf(index);
    HostResult result = host->openDevice(local);
    if (result.ok()) {
        open_ = host;
    }
    return result;
}

HostResult JoinedMidiHost::sendLongMessage(std::span<const std::uint8_t> message) {
    return current().sendLongMessage(message);
}

HostResult JoinedMidiHost::closeDevice() {
    MidiHost& host = current();
    open_ = nullptr;
    return host.closeDevice();
}

} // namespace zr70
