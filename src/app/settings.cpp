#include "app/settings.h"

#include "midi/midi_host.h"

namespace zr70 {

void storeWindowPosition(Settings& settings, std::int32_t x, std::int32_t y) {
    settings.write({{"xpos", x}, {"ypos", y}});
}

namespace {

constexpr std::string_view kDeviceKey = "mididevice";
constexpr std::string_view kDeviceNameKey = "mididevicename";
constexpr int kNoStoredDevice = -1;

} // namespace

StoredOutput storedOutput(const Settings& settings) {
    const int index = settings.readInt(kDeviceKey).value_or(kNoStoredDevice);
    return {settings.readText(kDeviceNameKey), index == kNoStoredDevice ? 0 : index};
}

OutputChoice chooseStoredOutput(const StoredOutput& stored, const std::vector<std::string>& names) {
    if (stored.name) {
        if (const std::optional<int> found = findOutput(names, *stored.name, stored.index)) {
            return {*found, true};
        }
    }
    return {stored.index, false};
}

void storeOutput(Settings& settings, int index, const std::vector<std::string>& names) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
        // No name to go with it: a stored name stays for its device to come back.
        settings.write({{kDeviceKey, index}});
        return;
    }
    settings.write({{kDeviceKey, index}},
                   {{kDeviceNameKey, names[static_cast<std::size_t>(index)]}});
}

void storeStartOutput(Settings& settings, const StoredOutput& stored, OutputChoice choice,
                      const std::vector<std::string>& names) {
    if (stored.name && !choice.byName) {
        settings.write({{kDeviceKey, choice.index}});
        return;
    }
    storeOutput(settings, choice.index, names);
}

} // namespace zr70
