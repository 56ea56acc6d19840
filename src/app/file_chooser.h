#pragma once

#include <QString>
#include <optional>

namespace zr70 {

/// The platform's open-file and save-file dialogs, run modally over the main
/// window. Each returns the full path of the chosen file, under its own bytes
/// (see decodeFileName), or nothing when the user cancelled or the dialog
/// failed.
class FileChooser {
public:
    /// The files a dialog offers: preset files (.zr) or SysEx files (.syx).
    enum class FileType { Preset, SysEx };

    virtual ~FileChooser() = default;
    virtual std::optional<QString> chooseFileToLoad(FileType type = FileType::Preset) = 0;
    virtual std::optional<QString> chooseFileToSave(FileType type = FileType::Preset) = 0;
};

/// The file that a dialog's path names, under its own bytes: a dialog shows
/// a name that is no UTF-8 with U+FFFD in the place of its odd bytes. A name
/// that no file of the folder shows as was typed by the user and is taken as
/// it is; one that several files show as names none of them for certain, and
/// is nothing.
std::optional<QString> exactFileName(const QString& shown);

} // namespace zr70
