#include "midi/midi_output_port.h"

namespace zr70 {

MidiOutputPort::MidiOutputPort(MidiHost& host) : host_(host) {}

const OutputList& MidiOutputPort::list() {
    listed_ = host_.outputs();
    return listed_;
}

MidiResult MidiOutputPort::startOn(int index) {
    current_ = index;
    return open(current_);
}

MidiOutputPort::Change MidiOutputPort::changeOutput(int position) {
    if (position < 0) {
        // The list lost its selection: that is no pick of an output.
        return Change::None;
    }
    if (open_) {
        // What the host says of a close at a change tells the user nothing.
        host_.close();
        open_ = false;
    }
    if (open(position).ok()) {
        current_ = position;
        return Change::Opened;
    }
    return Change::Busy;
}

void MidiOutputPort::reopen() {
    open(current_);
}

MidiResult MidiOutputPort::send(std::span<const std::uint8_t> message) {
    if (!open_) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    return host_.send(message);
}

Delivery MidiOutputPort::flush() {
    if (!open_) {
        return {0, 0, MidiResult::failure(MidiError::NotOpen)};
    }
    return host_.flush();
}

bool MidiOutputPort::shutDown() {
    if (!open_) {
        return true;
    }
    open_ = false;
    // A message that may not have arrived was told about when it was sent;
    // here only a close the system refused counts.
    const MidiResult closed = host_.close();
    return closed.error != MidiError::CloseFailed;
}

MidiResult MidiOutputPort::open(int index) {
    MidiResult opened = host_.open(index);
    open_ = opened.ok();
    return opened;
}

} // namespace zr70
