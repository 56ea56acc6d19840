#pragma once

#include "converter/message.h"
#include "midi/midi_host.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// What handing messages to the output came to.
struct Transmission {
    std::size_t count = 0;  ///< messages to hand over
    std::size_t handed = 0; ///< of them, taken by the output
    std::size_t left = 0;   ///< of those, left for the output while it was connected
    /// The first failure, also of a message that was taken but did not
    /// leave; a success only when every message left.
    MidiResult result;
    bool cutShort = false; ///< the caller stopped it before the last message
};

/// The program's one connection to a MIDI output, the window's and the
/// command line's alike: lists the outputs, opens the one it is given at
/// start, switches on the user's pick, hands messages over and closes the
/// output at shutdown. Which output is stored, what the user is told and what
/// the list shows are the caller's.
class MidiOutputPort {
public:
    explicit MidiOutputPort(MidiHost& host);

    /// Lists the outputs: entry i is output i, never sorted.
    const OutputList& list();
    const std::vector<std::string>& outputNames() const { return listed_.names; }
    /// Why the last list has no output to use: "No MIDI out devices found",
    /// or, when a part of the system did not answer, what it came to (a
    /// server that is there is never reported as missing); nothing when
    /// there are outputs.
    std::optional<std::string> whyNoOutputs() const;

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

    /// Hands `messages` to the open output in their order, a refused one not
    /// stopping the others, then waits until those taken have left. `handing`
    /// is told when each hand-over, and the wait, begin and end; `goOn` is
    /// asked before each message, and false stops there. Fails with NotOpen
    /// while no output is open.
    Transmission transmit(std::span<const MessageBytes> messages,
                          const std::function<void(bool)>& handing = {},
                          const std::function<bool()>& goOn = {});

    /// Closes the open output, if any: what the close came to, a failure
    /// when what was sent may not have arrived or the system refused to close.
    MidiResult shutDown();

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
