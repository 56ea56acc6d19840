#pragma once

#include "preset/file_chooser.h"

#include <QPointer>
#include <QWidget>

namespace zr70 {

/// The desktop's open-file and save-file dialogs for preset files: file name
/// "*.ZR" to start with, one file type described as "*.ZR" that lists names
/// ending in .ZR and .zr; for SysEx files the same with "*.syx", listing names
/// ending in .syx and .SYX. Modal over the owner, no question before a file is
/// replaced. A name with a wildcard ('*' or '?') that names no existing file is
/// never chosen: confirming one lists the files that match it and the dialog
/// comes back in the same directory. They leave the process's current
/// directory where it was, so "default.zr" keeps its place.
class DialogFileChooser : public FileChooser {
public:
    static constexpr const char* kInitialName = "*.ZR";
    static constexpr const char* kFileType = "*.ZR (*.ZR *.zr)";
    static constexpr const char* kSysExInitialName = "*.syx";
    static constexpr const char* kSysExFileType = "*.syx (*.syx *.SYX)";

    explicit DialogFileChooser(QWidget* owner = nullptr) : owner_(owner) {}

    void setOwner(QWidget* owner) { owner_ = owner; }
    /// Qt's own dialogs instead of the desktop's (tests drive those).
    void setUseNativeDialogs(bool native) { native_ = native; }

    std::optional<QString> chooseFileToLoad(FileType type = FileType::Preset) override;
    std::optional<QString> chooseFileToSave(FileType type = FileType::Preset) override;

private:
    std::optional<QString> choose(bool save, FileType type);

    QPointer<QWidget> owner_;
    bool native_ = true;
};

} // namespace zr70
