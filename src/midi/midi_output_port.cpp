#include "midi/midi_output_port.h"

#include <string>

namespace zr70 {
namespace {

constexpr std::string_view kDeviceKey = "mididevice";
constexpr std::string_view kDeviceNameKey = "mididevicename";
constexpr int kNoStoredDevice = -1;

constexpr std::string_view kNoDevicesText = "No MIDI out devices found";
constexpr std::string_view kBusyText = "Selected device is busy";
constexpr std::string_view kCloseFailedText = "Unable to close MIDI OUT";

} // namespace

int storedOutput(const IntegerSettings& settings, const std::vector<std::string>& names) {
    if (const std::optional<std::string> name =
            settings.readText(kSettingsSection, kDeviceNameKey)) {
        for (std::size_t index = 0; index < names.size(); ++index) {
            if (names[index] == *name) {
                return static_cast<int>(index);
            }
        }
    }
    const int stored = settings.readInt(kSettingsSection, kDeviceKey, kNoStoredDevice);
    return stored == kNoStoredDevice ? 0 : stored;
}

void storeOutput(IntegerSettings& settings, int index, const std::vector<std::string>& names) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
        // No name to go with it: a stored name stays for its device to come back.
        settings.writeInt(kSettingsSection, kDeviceKey, index);
        return;
    }
    settings.writeValues(kSettingsSection, {{kDeviceKey, index}},
                         {{kDeviceNameKey, names[static_cast<std::size_t>(index)]}});
}

MidiOutputPort::MidiOutputPort(MidiHost& host, IntegerSettings& settings, UserMessages& messages)
    : host_(host), settings_(settings), messages_(messages) {}

MidiOutputPort::StartResult MidiOutputPort::start() {
    if (host_.deviceCount() <= 0) {
        messages_.show(kNoDevicesText);
        return StartResult::EndProgram;
    }

    // The count is asked again for every entry, as the host may change it.
    for (int index = 0; index < host_.deviceCount(); ++index) {
        names_.push_back(listedDeviceName(host_, index));
    }

    current_ = storedOutput(settings_, names_);

    if (const HostResult opened = open(current_); !opened.ok()) {
        // The device did not open: the program goes on with the port closed,
        // and every send fails until the user picks a device that opens.
        messages_.show(cutErrorText(opened.text));
    }

    show(current_);
    storeOutput(settings_, current_, names_);
    return StartResult::Running;
}

void MidiOutputPort::changeDevice(int position) {
    if (position < 0) {
        // The list lost its selection: that is no pick of a device.
        return;
    }
    show(position);
    if (open_) {
        closeQuietly();
    }

    if (open(position).ok()) {
        current_ = position;
        storeOutput(settings_, current_, names_);
        return;
    }

    messages_.show(kBusyText);
    // Back to the previous device; when that fails too the port stays closed
    // and nothing more is shown.
    open(current_);
    show(current_);
}

int MidiOutputPort::send(std::span<const std::uint8_t> message) {
    if (!open_) {
        return kNotOpen;
    }
    return host_.sendLongMessage(message).code;
}

void MidiOutputPort::shutDown() {
    if (!open_) {
        return;
    }
    const HostResult closed = host_.closeDevice();
    open_ = false;
    if (!closed.ok()) {
        messages_.show(kCloseFailedText);
    }
}

HostResult MidiOutputPort::open(int index) {
    HostResult opened = host_.openDevice(index);
    open_ = opened.ok();
    return opened;
}

void MidiOutputPort::show(int position) {
    if (position >= 0 && position < static_cast<int>(names_.size())) {
        shown_ = position;
    }
}

void MidiOutputPort::closeQuietly() {
    host_.closeDevice();
    open_ = false;
}

} // namespace zr70
