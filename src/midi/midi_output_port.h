#pragma once

#include "midi/midi_host.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// The program's one connection to a MIDI output device: lists the devices,
/// opens the one it is given at start, switches on the user's pick, hands every
/// parameter message over and closes the device at shutdown. Which device is
/// stored, and what the user is told, is the caller's.
class MidiOutputPort {
public:
    explicit MidiOutputPort(MidiHost& host);

    /// Lists the devices; false when there is none.
    bool list();

    /// Opens device `index` as the one in use, also an index that names no
    /// entry, and shows it selected when it names one. The host's result: when
    /// the device did not open, the port stays closed and every send fails
    /// until the user picks a device that opens.
    HostResult startOn(int index);

    enum class Change {
        None,   ///< no pick of a device: nothing happened
        Opened, ///< the picked device is open and in use
        Busy,   ///< the picked device did not open; the port is closed until reopen()
    };

    /// The user selected entry `position` of the device list: the open device
    /// closes and the picked one opens.
    Change changeDevice(int position);

    /// After a Busy pick: opens the device in use again and shows it selected;
    /// when that fails too the port stays closed.
    void reopen();

    /// The device list: entry i is device i, never sorted. A device without a
    /// readable name is "MIDI Out <i>".
    const std::vector<std::string>& deviceNames() const { return names_; }

    /// The entry the list shows selected, -1 for none: the device in use, or
    /// the user's last pick while the device in use names no entry.
    int shownDevice() const { return shown_; }

    /// The host's result unchanged; nonzero when no device is open.
    int send(std::span<const std::uint8_t> message);

    /// Closes the open device, if any; false when the host failed to close it.
    bool shutDown();

    bool isOpen() const { return open_; }
    /// The device in use: the one given at start, or the last pick that opened.
    int currentDevice() const { return current_; }

    /// What send returns while no device is open.
    static constexpr int kNotOpen = -1;

private:
    /// Opens device `index`; the host's result.
    HostResult open(int index);
    void closeQuietly();
    /// Shows entry `position` selected; nothing for a position that names none.
    void show(int position);

    MidiHost& host_;
    std::vector<std::string> names_;
    int shown_ = -1;
    bool open_ = false;
    int current_ = -1;
};

} // namespace zr70
