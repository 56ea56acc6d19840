#include "app/file_chooser.h"

#include "preset/file_access.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>

#include <memory>

namespace zr70 {

std::optional<QString> exactFileName(const QString& shown) {
    if (!shown.contains(QChar::ReplacementCharacter)) {
        return shown;
    }
    const QFileInfo file(shown);
    const QByteArray folder = QFile::encodeName(file.path());
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.constData()), ::closedir);
    std::optional<QString> found;
    while (const dirent* entry = listing ? ::readdir(listing.get()) : nullptr) {
        if (QFile::decodeName(entry->d_name) == file.fileName()) {
            if (found) {
                return std::nullopt;
            }
            found = decodeFileName(folder + '/' + entry->d_name);
        }
    }
    return found.value_or(shown);
}

} // namespace zr70
