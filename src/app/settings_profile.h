#pragma once

#include "app/settings.h"

#include <QString>

namespace zr70 {

/// Settings in section "zr70" of "<application name>.INI" in the user's
/// configuration folder. Every write reaches the file at once; nothing is
/// written at exit. Section and key names are matched in any letter case, as
/// a hand-edited file may have them, and written in lower case.
///
/// No read or write ever waits on the file system for more than about a
/// second and a half: a settings file, or a lock file beside it, that is no
/// regular file (a FIFO, a folder) reads as empty and is never written, and a
/// write fails when another running copy holds the lock (hung, or stopped)
/// for that long; the writes after it fail at once until the lock is free.
class SettingsProfile : public Settings {
public:
    /// The profile of the running program, named after its executable.
    SettingsProfile();
    /// A profile in an explicit file (tests).
    explicit SettingsProfile(QString filePath);

    std::optional<std::int32_t> readInt(std::string_view key) const override;
    std::optional<std::string> readText(std::string_view key) const override;
    bool write(std::initializer_list<Integer> integers,
               std::initializer_list<Text> texts = {}) override;

    const QString& filePath() const { return filePath_; }

private:
    /// The stored value of `key`, as a string; nothing when there is none.
    std::optional<QString> read(std::string_view key) const;

    QString filePath_;
    bool lockWaited_ = true; ///< the last write found the lock free
};

} // namespace zr70
