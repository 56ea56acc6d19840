#pragma once

#include "app/settings.h"
#include "preset/file_access.h"

#include <chrono>

namespace zr70 {

/// Settings in section "zr70" of "<application name>.INI" in the user's
/// configuration folder: lines of "key=value", integers in decimal. Every
/// write reaches the file at once, and replaces it as a preset is replaced,
/// so a reader never sees half a file; nothing is written at exit. Section
/// and key names are matched in any letter case, as a hand-edited file may
/// have them, and written in lower case; everything else the file holds is
/// kept as it is.
///
/// Values are read as text: "@Variant(...)" and its like are no integers and
/// no names, only text that is neither.
///
/// Writers take a lock of their own, a file beside the settings file
/// ("zr70.INI.lck"), so that copies of the program writing at once each
/// keep the others' keys. No read or write waits on the file system for
/// longer than kLockWait: a settings or lock file that is no regular file
/// (a FIFO, a folder) reads as empty and is never written, and a write fails
/// when another copy holds the lock (hung, or stopped) for that long; the
/// writes after it fail at once until the lock is free.
class SettingsProfile : public Settings {
public:
    static constexpr std::chrono::milliseconds kLockWait{1500};

    /// The profile of the running program, named after its executable.
    SettingsProfile();
    /// A profile in an explicit file (tests).
    explicit SettingsProfile(FileName filePath);

    std::optional<std::int32_t> readInt(std::string_view key) const override;
    std::optional<std::string> readText(std::string_view key) const override;
    bool write(std::initializer_list<Integer> integers,
               std::initializer_list<Text> texts = {}) override;

    const FileName& filePath() const { return filePath_; }

private:
    FileName filePath_;
    bool lockWaited_ = true; ///< the last write found the lock free in time
};

} // namespace zr70
