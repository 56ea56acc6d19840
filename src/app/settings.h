#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zr70 {

/// What the program keeps between runs: integers, and the few texts beside
/// them, by key.
class Settings {
public:
    virtual ~Settings() = default;

    /// The stored integer; nothing when it is missing or no whole 32-bit number.
    virtual std::optional<std::int32_t> readInt(std::string_view key) const = 0;
    /// The stored text (UTF-8); nothing when it is missing, empty or no single text.
    virtual std::optional<std::string> readText(std::string_view key) const = 0;

    using Integer = std::pair<std::string_view, std::int32_t>;
    using Text = std::pair<std::string_view, std::string_view>;
    /// Stores the integers, then the texts, at once and all together; false
    /// when they could not be stored.
    virtual bool write(std::initializer_list<Integer> integers,
                       std::initializer_list<Text> texts = {}) = 0;
};

/// The main window's client area moved to (x, y) on screen: writes "xpos",
/// then "ypos", at once, negative values included.
void storeWindowPosition(Settings& settings, std::int32_t x, std::int32_t y);

/// The output the settings hold: its listed name ("mididevicename") and its
/// index ("mididevice", 0 when nothing or -1 is stored).
struct StoredOutput {
    std::optional<std::string> name;
    int index = 0;
};
StoredOutput storedOutput(const Settings& settings);

/// Where the stored output is among the listed `names`: the output of the
/// stored name (of twins, the one at the stored index), else the stored index
/// as it is, which may name no entry. `byName` tells which. The panel's
/// start-up and the command line's --send both choose by this.
struct OutputChoice {
    int index = 0;
    bool byName = false;
};
OutputChoice chooseStoredOutput(const StoredOutput& stored, const std::vector<std::string>& names);

/// The user chose output `index`: "mididevice", and "mididevicename" with its
/// listed name when `index` names an entry of `names`, are written at once.
void storeOutput(Settings& settings, int index, const std::vector<std::string>& names);

/// The start-up opened `choice`: its index is written, and its name unless a
/// stored name was not found. That name stays for its output to come back.
void storeStartOutput(Settings& settings, const StoredOutput& stored, OutputChoice choice,
                      const std::vector<std::string>& names);

} // namespace zr70
