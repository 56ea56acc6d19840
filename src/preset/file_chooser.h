#pragma once

#include <QString>
#include <optional>

namespace zr70 {

/// The platform's open-file and save-file dialogs, run modally over the main
/// window. Each returns the full path of the chosen file, or nothing when the
/// user cancelled or the dialog failed.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> chooseFileToLoad() = 0;
    virtual std::optional<QString> chooseFileToSave() = 0;
};

} // namespace zr70
