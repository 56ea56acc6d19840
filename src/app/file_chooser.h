#pragma once

#include "preset/file_access.h"

#include <QString>

#include <optional>

namespace zr70 {

/// The platform's open-file and save-file dialogs, run modally over the main
/// window. Each returns the full path of the chosen file, or nothing when the
/// user cancelled or the dialog failed.
class FileChooser {
public:
    /// The files a dialog offers: preset files (.zr) or SysEx files (.syx).
    enum class FileType { Preset, SysEx };

    virtual ~FileChooser() = default;
    virtual std::optional<FileName> chooseFileToLoad(FileType type = FileType::Preset) = 0;
    virtual std::optional<FileName> chooseFileToSave(FileType type = FileType::Preset) = 0;
};

/// The file that a dialog's path names, under its own bytes: a dialog shows
/// every byte of a name that is no part of a UTF-8 character as U+FFFD, in
/// any part of the path. Each such part is the one entry of its folder that
/// shows so; a part that no entry shows as was typed by the user and is taken
/// as it is; one that several entries show as names none of them for certain,
/// and the path is nothing.
std::optional<FileName> exactFileName(const QString& shown);

} // namespace zr70
