#pragma once

#include "midi/midi_host.h"

#include <vector>

namespace zr70 {

/// Several MIDI hosts as one: the devices of the first, then those of the
/// next, and so on, counted anew on every call, as a host's count may change
/// (a host that did not answer at first may answer later). An index past the
/// devices of the hosts before the last belongs to the last host, which
/// answers it with its own failure. The open device's operations go to the
/// host that opened it; every other operation without a device, to the first
/// host.
///
/// The hosts are not owned and must outlive this object.
class JoinedMidiHost : public MidiHost {
public:
    explicit JoinedMidiHost(std::vector<MidiHost*> hosts);

    int deviceCount() override;
    int describeDevice(int index, std::string& name) override;
    HostResult openDevice(int index) override;
    HostResult sendLongMessage(std::span<const std::uint8_t> message) override;
    HostResult closeDevice() override;

private:
    /// The host of device `index`, and the device's index there.
    std::pair<MidiHost*, int> hostOf(int index);
    /// The host of the open device, or the first when none is open.
    MidiHost& current();

    std::vector<MidiHost*> hosts_;
    MidiHost* open_ = nullptr;
};

} // namespace zr70
