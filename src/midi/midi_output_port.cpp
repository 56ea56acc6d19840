#include "midi/midi_output_port.h"

namespace zr70 {

MidiOutputPort::MidiOutputPort(MidiHost& host) : host_(host) {}

const OutputList& MidiOutputPort::list() {
    listed_ = host_.outputs();
    return listed_;
}

std::optional<std::string> MidiOutputPort::whyNoOutputs() const {
    if (!listed_.names.empty()) {
        return std::nullopt;
    }
    return listed_.problem.ok() ? "No MIDI out devices found" : listed_.problem.text;
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

Transmission MidiOutputPort::transmit(std::span<const MessageBytes> messages,
                                      const std::function<void(bool)>& handing,
                                      const std::function<bool()>& goOn) {
    const auto tell = [&](bool on) {
        if (handing) {
            handing(on);
        }
    };
    Transmission sent;
    sent.count = messages.size();
    for (const MessageBytes& message : messages) {
        if (goOn && !goOn()) {
            sent.cutShort = true;
            break;
        }
        tell(true);
        const MidiResult taken =
            open_ ? host_.send(message) : MidiResult::failure(MidiError::NotOpen);
        tell(false);
        if (taken.ok()) {
            ++sent.handed;
        } else if (sent.result.ok()) {
            sent.result = taken;
        }
    }
    if (sent.handed > 0) {
        // A message that was taken but did not leave for the output (the
        // server stopped, the receiver went) failed all the same.
        tell(true);
        const Delivery delivery = host_.flush();
        tell(false);
        sent.left = delivery.left;
        if (sent.result.ok()) {
            sent.result = delivery.result;
        }
    }
    return sent;
}

MidiResult MidiOutputPort::shutDown() {
    if (!open_) {
        return {};
    }
    open_ = false;
    return host_.close();
}

MidiResult MidiOutputPort::open(int index) {
    MidiResult opened = host_.open(index);
    open_ = opened.ok();
    return opened;
}

} // namespace zr70
