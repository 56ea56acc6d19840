#include "ui/dialog_file_chooser.h"

#include <QFileDialog>

namespace zr70 {

std::optional<QString> DialogFileChooser::chooseFileToLoad() {
    return choose(false);
}

std::optional<QString> DialogFileChooser::chooseFileToSave() {
    return choose(true);
}

std::optional<QString> DialogFileChooser::choose(bool save) {
    QFileDialog dialog(owner_.data(), QString(), QString(), QString::fromLatin1(kFileType));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The open dialog takes names of files that do not exist too: loading one
    // then says that it cannot be opened.
    dialog.setFileMode(QFileDialog::AnyFile);
    QFileDialog::Options options =
        QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails;
    if (!native_) {
        options |= QFileDialog::DontUseNativeDialog;
    }
    dialog.setOptions(options);
    dialog.selectFile(QString::fromLatin1(kInitialName));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    return chosen.first();
}

} // namespace zr70
