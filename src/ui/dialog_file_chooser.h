#pragma once

#include "app/file_chooser.h"

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
/// directory where it was, so "default.zr" keeps its place. The dialog shows a
/// file name that is no UTF-8 with U+FFFD for each byte that is no part of a
/// character; choosing it chooses that file, under its own bytes.
class DialogFileChooser : public FileChooser {
public:
    static constexpr const char* kInitialName = "*.ZR";
    static constexpr const char* kFileType = "*.ZR (*.ZR *.zr)";
    static constexpr const char* kSysExInitialName = "*.syx";
    static constexpr const char* kSysExFileType = "*.syx (*.syx *.SYX)";

    /// Qt's own dialog keeps its history and last folder in a settings file of
    /// its own; the program keeps all it keeps in its one settings file, so
    /// the dialogs keep nothing between runs.
    explicit DialogFileChooser(QWidget* owner = nullptr);

    void setOwner(QWidget* owner) { owner_ = owner; }
    /// Qt's own dialogs instead of the desktop's (tests drive those).
    void setUseNativeDialogs(bool native) { native_ = native; }

    std::optional<FileName> chooseFileToLoad(FileType type = FileType::Preset) override;
    std::optional<FileName> chooseFileToSave(FileType type = FileType::Preset) override;

private:
    std::optional<FileName> choose(bool save, FileType type);

    QPointer<QWidget> owner_;
    bool native_ = true;
};

} // namespace zr70
