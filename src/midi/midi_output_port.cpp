#include "midi/midi_output_port.h"

#include <string>

namespace zr70 {

MidiOutputPort::MidiOutputPort(MidiHost& host) : host_(host) {}

bool MidiOutputPort::list() {
    if (host_.deviceCount() <= 0) {
        return false;
    }
    // The count is asked again for every entry, as the host may change it.
    for (int index = 0; index < host_.deviceCount(); ++index) {
        names_.push_back(listedDeviceName(host_, index));
    }
    return true;
}

HostResult MidiOutputPort::startOn(int index) {
    current_ = index;
    HostResult opened = open(current_);
    show(current_);
    return opened;
}

MidiOutputPort::Change MidiOutputPort::changeDevice(int position) {
    if (position < 0) {
        // The list lost its selection: that is no pick of a device.
        return Change::None;
    }
    show(position);
    if (open_) {
        closeQuietly();
    }
    if (open(position).ok()) {
        current_ = position;
        return Change::Opened;
    }
    return Change::Busy;
}

void MidiOutputPort::reopen() {
    open(current_);
    show(current_);
}

int MidiOutputPort::send(std::span<const std::uint8_t> message) {
    if (!open_) {
        return kNotOpen;
    }
    return host_.sendLongMessage(message).code;
}

bool MidiOutputPort::shutDown() {
    if (!open_) {
        return true;
    }
    const HostResult closed = host_.closeDevice();
    open_ = false;
    return closed.ok();
}

HostResult MidiOutputPort::open(int index) {
    HostResult opened = host_.openDevice(index);
    open_ = opened.ok();
    return opened;
}

void MidiOutputPort::show(int position) {
    if (position >= 0 && position < static_cast<int>(names_.size())) {
        shown_ = position;
    }
}

void MidiOutputPort::closeQuietly() {
    host_.closeDevice();
    open_ = false;
}

} // namespace zr70
