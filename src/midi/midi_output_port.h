#pragma once

#include "converter/user_messages.h"
#include "midi/integer_settings.h"
#include "midi/midi_host.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// The output stored in the settings, among the listed `names`: the one whose
/// whole name is "mididevicename", else "mididevice" as it is stored (0 when
/// nothing is), which may name no entry. The panel's start-up and the command
/// line's --send both choose by this.
int storedOutput(const IntegerSettings& settings, const std::vector<std::string>& names);

/// Stores output `index` at once: "mididevice", then "mididevicename" with its
/// listed name when `index` names an entry of `names`.
void storeOutput(IntegerSettings& settings, int index, const std::vector<std::string>& names);

/// The program's one connection to a MIDI output device: lists the devices,
/// opens the remembered one at start, switches on the user's pick, hands every
/// parameter message over and closes the device at shutdown.
class MidiOutputPort {
public:
    enum class StartResult { Running, EndProgram };

    MidiOutputPort(MidiHost& host, IntegerSettings& settings, UserMessages& messages);

    /// Lists the devices, opens the stored one (see storedOutput) and stores
    /// it again (see storeOutput): a device found by its name at a new place
    /// is stored at its new index. Returns
    /// EndProgram when there is no device; the caller ends the program with
    /// exit status 0.
    StartResult start();

    /// The user selected entry `position` of the device list.
    void changeDevice(int position);

    /// The device list: entry i is device i, never sorted. A device without a
    /// readable name is "MIDI Out <i>".
    const std::vector<std::string>& deviceNames() const { return names_; }

    /// The entry the list shows selected, -1 for none: the device in use, or
    /// the user's last pick while the device in use names no entry.
    int shownDevice() const { return shown_; }

    /// The host's result unchanged; nonzero when no device is open.
    int send(std::span<const std::uint8_t> message);

    /// Closes the open device, if any.
    void shutDown();

    bool isOpen() const { return open_; }
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
    IntegerSettings& settings_;
    UserMessages& messages_;
    std::vector<std::string> names_;
    int shown_ = -1;
    bool open_ = false;
    int current_ = -1;
};

} // namespace zr70
