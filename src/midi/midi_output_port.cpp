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
        devices.append(listedDeviceName(host_, index));
    }

    const int stored = settings_.readInt(kSettingsSection, kDeviceKey, kNoStoredDevice);
    current_ = stored == kNoStoredDevice ? 0 : stored;

    if (const std::optional<OpenFailure> failure = openAndPrepare(current_)) {
        messages_.show(cutErrorText(host_.errorText(failure->code)));
        if (failure->step == OpenFailure::Step::Prepare) {
            // The device has been closed again, so the program ends without
            // leaving one open behind.
            return StartResult::EndProgram;
        }
        // The device did not open: the program goes on with the port closed,
        // and every send fails until the user picks a device that opens.
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

    if (!openAndPrepare(position)) {
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

std::optional<MidiOutputPort::OpenFailure> MidiOutputPort::openAndPrepare(int index) {
    const int opened = host_.openDevice(index);
    if (opened != 0) {
        return OpenFailure{OpenFailure::Step::Open, opened};
    }
    open_ = true;
    const int prepared = host_.prepareBuffer();
    if (prepared != 0) {
        // A device that cannot take the buffer is as good as one that did not
        // open: close it again.
        host_.closeDevice();
        open_ = false;
        return OpenFailure{OpenFailure::Step::Prepare, prepared};
    }
    return std::nullopt;
}

void MidiOutputPort::closeQuietly() {
    host_.releaseBuffer();
    host_.closeDevice();
    open_ = false;
}

} // namespace zr70
