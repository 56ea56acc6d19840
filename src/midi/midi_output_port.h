#pragma once

#include "midi/midi_host.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// The program's one connection to a MIDI output: lists the outputs, opens the
/// one it is given at start, switches on the user's pick, hands every
/// parameter message over and closes the output at shutdown. Which output is
/// stored, what the user is told and what the list shows are the caller's.
class MidiOutputPort {
public:
    explicit MidiOutputPort(MidiHost& host);

    /// Lists the outputs: entry i is output i, never sorted.
    const OutputList& list();
    const std::vector<std::string>& outputNames() const { return listed_.names; }

    /// Opens output `index` as the one in use, also an index that names no
    /// entry. When it did not open, the port stays closed and every send
    /// fails until the user picks an output that opens.
    MidiResult startOn(int index);

    enum class Change {
        None,   ///< no pick of an output: nothing happened
        Opened, ///< the picked output is open and in use
        Busy,   ///< the picked output did not open; the port is closed until reopen()
    };

    /// The user selected entry `position` of the list: the open output
    /// closes and the picked one opens.
    Change changeOutput(int position);

    /// After a Busy pick: opens the output in use again; when that fails too
    /// the port stays closed.
    void reopen();

    /// NotOpen while no output is open.
    MidiResult send(std::span<const std::uint8_t> message);
    /// Whether what was sent since the last flush has left; NotOpen while no
    /// output is open.
    Delivery flush();

    /// Closes the open output, if any; false when the system refused to close it.
    bool shutDown();

    bool isOpen() const { return open_; }
    /// The output in use: the one given at start, or the last pick that opened.
    int currentOutput() const { return current_; }

private:
    MidiResult open(int index);

    MidiHost& host_;
    OutputList listed_;
    bool open_ = false;
    int current_ = -1;
};

} // namespace zr70
