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

int JoinedMidiHost::noted(MidiHost& host, int code) {
    if (code != 0) {
        failedLast_[code] = &host;
    }
    return code;
}

int JoinedMidiHost::describeDevice(int index, std::string& name) {
    const auto [host, local] = hostOf(index);
    return noted(*host, host->describeDevice(local, name));
}

int JoinedMidiHost::openDevice(int index) {
    const auto [host, local] = hostOf(index);
    const int result = host->openDevice(local);
    if (result == 0) {
        open_ = host;
    }
    return noted(*host, result);
}

int JoinedMidiHost::prepareBuffer() {
    return noted(current(), current().prepareBuffer());
}

int JoinedMidiHost::releaseBuffer() {
    return noted(current(), current().releaseBuffer());
}

int JoinedMidiHost::sendLongMessage(std::span<const std::uint8_t> message) {
    return noted(current(), current().sendLongMessage(message));
}

int JoinedMidiHost::closeDevice() {
    MidiHost& host = current();
    open_ = nullptr;
    return noted(host, host.closeDevice());
}

std::string JoinedMidiHost::errorText(int code) {
    const auto found = failedLast_.find(code);
    return (found != failedLast_.end() ? *found->second : *hosts_.front()).errorText(code);
}

} // namespace zr70
