#include "ui/dialog_file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace zr70 {

namespace {

/// A chosen name that is a pattern to list by rather than a file: one with
/// '*' or '?' in it that names no existing file. Brackets are no wildcard, so
/// "song [live].zr" is a name like any other.
bool isPattern(const QFileInfo& chosen) {
    const QString name = chosen.fileName();
    const bool wildcard = name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
    return wildcard && !chosen.exists();
}

} // namespace

DialogFileChooser::DialogFileChooser(QWidget* owner) : owner_(owner) {
    // Where nothing can be made: the dialog's settings are neither read nor
    // written.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null/zr70"));
    }
}

std::optional<FileName> DialogFileChooser::chooseFileToLoad(FileType type) {
    return choose(false, type);
}

std::optional<FileName> DialogFileChooser::chooseFileToSave(FileType type) {
    return choose(true, type);
}

std::optional<FileName> DialogFileChooser::choose(bool save, FileType type) {
    const bool sysEx = type == FileType::SysEx;
    const QString fileType = QString::fromLatin1(sysEx ? kSysExFileType : kFileType);
    const QString initialName = QString::fromLatin1(sysEx ? kSysExInitialName : kInitialName);
    QString directory; // at first wherever the dialog starts by itself
    QString name = initialName;
    // A pattern typed into the name box and confirmed lists the files that
    // match it, in the same directory, and the user chooses on. It is never
    // handed on as a file name: "*.ZR" or "*.syx" is no place to save to.
    for (;;) {
        QFileDialog dialog(owner_.data(), QString(), directory, fileType);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        // The open dialog takes names of files that do not exist too: loading
        // one then says that it cannot be opened.
        dialog.setFileMode(QFileDialog::AnyFile);
        QFileDialog::Options options =
            QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails;
        if (!native_) {
            options |= QFileDialog::DontUseNativeDialog;
        }
        dialog.setOptions(options);
        if (name != initialName) {
            const QString typed = name + QLatin1String(" (") + name + QLatin1Char(')');
            dialog.setNameFilters({typed, fileType});
            dialog.selectNameFilter(typed);
        }
        dialog.selectFile(name);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.first().isEmpty()) {
            return std::nullopt;
        }
        const QFileInfo file(chosen.first());
        if (!isPattern(file)) {
            return exactFileName(chosen.first());
        }
        directory = file.absolutePath();
        name = file.fileName();
    }
}

} // namespace zr70
