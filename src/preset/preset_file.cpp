#include "preset/preset_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr70 {
namespace {

static_assert(PresetFile::kTrailer.size() == 32);
static_assert(PresetFile::kFileSize == 47);
static_assert(kPresetFileOrder.size() == PresetFile::kSelectionByteCount);

/// An empty path names no file, and a NUL would cut the name short where the
/// system reads it, so that a different file would be opened.
bool isUsablePath(const QString& path) {
    return !path.isEmpty() && !path.contains(QChar(u'\0'));
}

/// The path as the user sees it in "Failed on opening %s": a-z become A-Z and
/// every other character stays, whatever the locale.
QString upperCaseAscii(QString text) {
    for (QChar& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(static_cast<char16_t>(c.unicode() - (u'a' - u'A')));
        }
    }
    return text;
}

/// Opens a regular file for reading. The descriptor is opened non-blocking so
/// that a FIFO at the path cannot stall the user interface, and the type is
/// taken from the open descriptor, so nothing can be swapped in between the
/// check and the read. Directories, FIFOs and devices count as failed opens.
bool openRegularFile(const QString& path, QFile& file) {
    if (!isUsablePath(path)) {
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

/// An existing file is replaced only when it is a regular file the user may
/// write. A file whose mode grants nobody write access counts as read-only
/// even for root, who could write it anyway: the user marked it so to keep it.
bool mayReplace(const QFileInfo& existing) {
    constexpr auto anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return existing.isFile() && existing.isWritable() && (existing.permissions() & anyWrite);
}

/// Writes `bytes` to a temporary file beside `path` and renames it over
/// `path` only when everything was written and synced, so a failed save
/// leaves any previous file whole.
bool replaceFile(const QString& path, const QByteArray& bytes) {
    if (!isUsablePath(path)) {
        return false;
    }
    const QFileInfo existing(path);
    if (existing.exists() && !mayReplace(existing)) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // commit() alone misses a short write of the buffered bytes (a full disk,
    // a file size limit), so the flush is checked before the rename.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

PresetFile::PresetFile(ParameterSet& selections, UserMessages& messages)
    : selections_(selections), messages_(messages) {}

int PresetFile::loadPreset(const QString& path) {
    QFile file;
    if (!openRegularFile(path, file)) {
        const QString text = QStringLiteral("Failed on opening ") + upperCaseAscii(path);
        messages_.show(text.toUtf8().toStdString());
        return 0;
    }
    selections_ = decode(file);
    file.close();
    return 1;
}

int PresetFile::savePreset(const QString& path) {
    if (!replaceFile(path, encode(selections_))) {
        messages_.show("Failed on saving file");
        return 0;
    }
    return 1;
}

int PresetFile::saveDefault() {
    return savePreset(QString::fromLatin1(kDefaultPresetName));
}

QByteArray PresetFile::encode(const ParameterSet& selections) {
    const auto selectionBytes = toPresetBytes(selections);
    QByteArray bytes;
    bytes.reserve(kFileSize);
    bytes.append(reinterpret_cast<const char*>(selectionBytes.data()),
                 static_cast<qsizetype>(selectionBytes.size()));
    bytes.append(kTrailer.data(), static_cast<qsizetype>(kTrailer.size()));
    return bytes;
}

ParameterSet PresetFile::decode(QIODevice& in) {
    // Only the selection bytes matter; the trailer and anything after it are
    // never read, so files with another trailer or none load all the same.
    std::array<std::uint8_t, kSelectionByteCount> bytes{};
    qint64 count = 0;
    while (count < kSelectionByteCount) {
        const qint64 got =
            in.read(reinterpret_cast<char*>(bytes.data()) + count, kSelectionByteCount - count);
        if (got <= 0) {
            break;
        }
        count += got;
    }
    return fromPresetBytes(std::span(bytes).first(static_cast<std::size_t>(count)));
}

} // namespace zr70
