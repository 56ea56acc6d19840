#include "preset/file_access.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr70 {
namespace {

/// An empty path names no file, and a NUL would cut the name short where the
/// system reads it, so that a different file would be opened.
bool isUsablePath(const QString& path) {
    return !path.isEmpty() && !path.contains(QChar(u'\0'));
}

bool fail(QString* error, const QString& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

/// An existing file is replaced only when it is a regular file the user may
/// write. A file whose mode grants nobody write access counts as read-only
/// even for root, who could write it anyway: the user marked it so to keep it.
bool mayReplace(const QFileInfo& existing) {
    constexpr auto anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return existing.isFile() && existing.isWritable() && (existing.permissions() & anyWrite);
}

} // namespace

bool openRegularFile(const QString& path, QFile& file, QString* error) {
    if (!isUsablePath(path)) {
        return fail(error, QStringLiteral("no file name"));
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail(error, systemError(errno));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(error, QStringLiteral("not a regular file"));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(error, file.errorString());
    }
    return true;
}

bool replaceFile(const QString& path, const QByteArray& bytes, QString* error) {
    if (!isUsablePath(path)) {
        return fail(error, QStringLiteral("no file name"));
    }
    const QFileInfo existing(path);
    if (existing.exists() && !mayReplace(existing)) {
        return fail(error, existing.isFile() ? QStringLiteral("the file is read-only")
                                             : QStringLiteral("not a regular file"));
    }
    QSaveFile file(path);
    // Qt writes in place only when it may not create the temporary file
    // beside an existing file (EACCES): a folder the user may not write. A new
    // file there cannot be created either way.
    file.setDirectWriteFallback(existing.exists());
    if (!file.open(QIODevice::WriteOnly)) {
        return fail(error, file.errorString());
    }
    // commit() alone misses a short write of the buffered bytes (a full disk,
    // a file size limit), so the flush is checked before the rename.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString text = file.errorString();
        file.cancelWriting();
        return fail(error, text);
    }
    if (!file.commit()) {
        return fail(error, file.errorString());
    }
    return true;
}

} // namespace zr70
