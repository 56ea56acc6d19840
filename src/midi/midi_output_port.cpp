#include "midi/midi_output_port.h"

#include <string>

namespace zr70 {
namespace {

constexpr std::string_view kDeviceKey = "mididevice";
constexpr int kNoStoredDevice = -1;

constexpr std::string_view kNoDevicesText = "No MIDI out devices found";
constexpr std::string_view kBusyText = "Selected device is busy";
constexpr std::string_view kCloseFailedText = "Unable to close MIDI OUT";

} // namespace

MidiOutputPort::MidiOutputPort(MidiHost& host, IntegerSettings& settings, UserMessages& messages)
    : host_(host), settings_(settings), messages_(messages) {}

MidiOutputPort::StartResult MidiOutputPort::start(DeviceList& devices) {
    devices_ = &devices;
    if (host_.deviceCount() <= 0) {
        messages_.show(kNoDevicesText);
        return StartResult::EndProgram;
    }

    // The count is asked again for every entry, as the host may change it.
    for (int index = 0; index < host_.deviceCount(); ++index) {
        std::string name;
        if (host_.describeDevice(index, name) != 0 || name.empty()) {
            // Entry positions must keep matching device numbers, so a device
            // without a readable name still gets an entry.
            name = "MIDI Out " + std::to_string(index);
        }
        devices.append(name);
    }

    const int stored = settings_.readInt(kSettingsSection, kDeviceKey, kNoStoredDevice);
    current_ = stored == kNoStoredDevice ? 0 : stored;

    const int opened = host_.openDevice(current_);
    if (opened != 0) {
        // The program goes on with the port closed; every send fails until
        // the user picks a device that opens.
        messages_.show(cutErrorText(host_.errorText(opened)));
    } else {
        open_ = true;
        const int prepared = host_.prepareBuffer();
        if (prepared != 0) {
            messages_.show(cutErrorText(host_.errorText(prepared)));
            // The program ends now; leave no device behind for the caller.
            host_.closeDevice();
            open_ = false;
            return StartResult::EndProgram;
        }
    }

    devices.select(current_);
    settings_.writeInt(kSettingsSection, kDeviceKey, current_);
    return StartResult::Running;
}

void MidiOutputPort::changeDevice(int position) {
    if (position < 0) {
        // The list lost its selection: that is no pick of a device.
        return;
    }
    if (open_) {
        closeQuietly();
    }

    if (openAndPrepare(position) == 0) {
        current_ = position;
        settings_.writeInt(kSettingsSection, kDeviceKey, current_);
        return;
    }

    messages_.show(kBusyText);
    // Back to the previous device; when that fails too the port stays closed
    // and nothing more is shown.
    openAndPrepare(current_);
    if (devices_ != nullptr) {
        devices_->select(current_);
    }
}

int MidiOutputPort::send(std::span<const std::uint8_t> message) {
    if (!open_) {
        return kNotOpen;
    }
    return host_.sendLongMessage(message);
}

void MidiOutputPort::shutDown() {
    if (!open_) {
        return;
    }
    host_.releaseBuffer();
    const int closed = host_.closeDevice();
    open_ = false;
    if (closed != 0) {
        messages_.show(kCloseFailedText);
    }
}

int MidiOutputPort::openAndPrepare(int index) {
    const int opened = host_.openDevice(index);
    if (opened != 0) {
        return opened;
    }
    open_ = true;
    const int prepared = host_.prepareBuffer();
    if (prepared != 0) {
        // A device that cannot take the buffer is as good as one that did not
        // open: close it again.
        host_.closeDevice();
        open_ = false;
    }
    return prepared;
}

void MidiOutputPort::closeQuietly() {
    host_.releaseBuffer();
    host_.closeDevice();
    open_ = false;
}

} // namespace zr70
