#pragma once

#include "midi/midi_error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// The outputs a MIDI system lists, and why there are fewer than there may be.
struct OutputList {
    std::vector<std::string> names; ///< as the device list shows them, in the system's order
    MidiResult problem;             ///< a failure when a part of the system did not answer
};

/// What a flush found of the messages sent since the last one.
struct Delivery {
    std::size_t sent = 0; ///< handed to the output
    std::size_t left = 0; ///< of them, left our port while it was connected to the output
    MidiResult result;    ///< a failure unless every one of them left
};

/// The outputs of a MIDI system: listed, one of them open at a time, sent to
/// and closed. No operation waits on the system for more than about 2 s.
class MidiOutput {
public:
    virtual ~MidiOutput() = default;

    /// The outputs, numbered from 0 in this order.
    virtual OutputList outputs() = 0;

    /// Opens output `index` of the last list for sending.
    virtual MidiResult open(int index) = 0;

    /// Hands one complete System Exclusive message to the open output. The
    /// bytes are copied before this returns; it never waits.
    virtual MidiResult send(std::span<const std::uint8_t> message) = 0;

    /// Waits until every message sent since the last flush has left, or
    /// could not leave, for the open output.
    virtual Delivery flush() = 0;

    /// Closes the open output, once what was sent has had time to arrive; a
    /// failure when it may not have.
    virtual MidiResult close() = 0;
};

} // namespace zr70
