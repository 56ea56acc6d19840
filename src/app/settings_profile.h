#pragma once

#include "app/integer_settings.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace zr70 {

/// Integer settings, and texts beside them, in "<application name>.INI" in the user's configuration
/// directory. Every write reaches the file at once; nothing is written at exit.
class SettingsProfile : public IntegerSettings {
public:
    /// The profile of the running program, named after its executable.
    SettingsProfile();
    /// A profile in an explicit file (tests).
    explicit SettingsProfile(QString filePath);

    std::int32_t readInt(std::string_view section, std::string_view key,
                         std::int32_t fallback) const override;
    bool writeInt(std::string_view section, std::string_view key, std::int32_t value) override;
    bool writeInts(std::string_view section, std::initializer_list<Entry> entries) override;
    std::optional<std::string> readText(std::string_view section,
                                        std::string_view key) const override;
    bool writeText(std::string_view section, std::string_view key, std::string_view value) override;
    bool writeValues(std::string_view section, std::initializer_list<Entry> integers,
                     std::initializer_list<TextEntry> texts) override;

    const QString& filePath() const { return filePath_; }

private:
    QString filePath_;
};

/// The main window's client area moved to (x, y) on screen: writes "xpos",
/// then "ypos", at once, negative values included.
void storeWindowPosition(IntegerSettings& settings, std::int32_t x, std::int32_t y);

/// The output stored in the settings, among the listed `names`: the one whose
/// whole name is "mididevicename", else "mididevice" as it is stored (0 when
/// nothing is), which may name no entry. The panel's start-up and the command
/// line's --send both choose by this.
int storedOutput(const IntegerSettings& settings, const std::vector<std::string>& names);

/// The name of the output stored, if one is.
std::optional<std::string> storedOutputName(const IntegerSettings& settings);

/// Stores output `index` at once: "mididevice", then "mididevicename" with its
/// listed name when `index` names an entry of `names`.
void storeOutput(IntegerSettings& settings, int index, const std::vector<std::string>& names);

} // namespace zr70
