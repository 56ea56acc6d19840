#include "app/file_chooser.h"

#include <QFile>

#include <dirent.h>

#include <memory>

namespace zr70 {
namespace {

/// The entry of `folder` that a dialog shows as `shown`; `shown` itself as
/// UTF-8 when none does, nothing when several do.
std::optional<QByteArray> entryShownAs(const QByteArray& folder, const QString& shown) {
    if (!shown.contains(QChar::ReplacementCharacter)) {
        return shown.toUtf8();
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(
        ::opendir(folder.isEmpty() ? "." : folder.constData()), ::closedir);
    std::optional<QByteArray> found;
    while (const dirent* entry = listing ? ::readdir(listing.get()) : nullptr) {
        if (QFile::decodeName(entry->d_name) == shown) {
            if (found) {
                return std::nullopt;
            }
            found = QByteArray(entry->d_name);
        }
    }
    return found.value_or(shown.toUtf8());
}

} // namespace

std::optional<FileName> exactFileName(const QString& shown) {
    QByteArray path;
    const QStringList parts = shown.split(QLatin1Char('/'));
    for (qsizetype at = 0; at < parts.size(); ++at) {
        const std::optional<QByteArray> part = entryShownAs(path, parts[at]);
        if (!part) {
            return std::nullopt;
        }
        path += *part;
        if (at + 1 < parts.size()) {
            path += '/';
        }
    }
    return FileName(path);
}

} // namespace zr70
