#pragma once

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
    virtual std::optional<QString> chooseFileToLoad(FileType type = FileType::Preset) = 0;
    virtual std::optional<QString> chooseFileToSave(FileType type = FileType::Preset) = 0;
};

} // namespace zr70
