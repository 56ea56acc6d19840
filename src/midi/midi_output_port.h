#pragma once

#include "converter/user_messages.h"
#include "midi/device_list.h"
#include "midi/integer_settings.h"
#include "midi/midi_host.h"

#include <cstdint>
#include <optional>
#include <span>

namespace zr70 {

/// The program's one connection to a MIDI output device: lists the devices,
/// opens the remembered one at start, switches on the user's pick, hands every
/// parameter message over and closes the device at shutdown.
class MidiOutputPort {
public:
    enum class StartResult { Running, EndProgram };

    MidiOutputPort(MidiHost& host, IntegerSettings& settings, UserMessages& messages);

    /// Fills the list, opens the stored device and stores its index. Returns
    /// EndProgram when there is no device; the caller ends the program with
    /// exit status 0.
    StartResult start(DeviceList& devices);

    /// The user selected entry `position` of the device list.
    void changeDevice(int position);

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

    MidiHost& host_;
    IntegerSettings& settings_;
    UserMessages& messages_;
    DeviceList* devices_ = nullptr;
    bool open_ = false;
    int current_ = -1;
};

} // namespace zr70
