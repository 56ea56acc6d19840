#include "preset/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr70 {
namespace {

constexpr char16_t kEscapedByte = 0xDC00; ///< + the byte, for a byte of no character

/// The length of the UTF-8 character at the start of `bytes`, 0 when it is
/// none (a stray continuation byte, an overlong form, a surrogate, a code
/// point beyond U+10FFFF, or a character cut short).
qsizetype utf8Length(QByteArrayView bytes, char32_t& codePoint) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    qsizetype length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < least || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

/// An empty path names no file, and a NUL would cut the name short where the
/// system reads it, so that a different file would be opened.
bool isUsablePath(const QString& path) {
    return !path.isEmpty() && !path.contains(QChar(u'\0'));
}

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

/// A file descriptor that is closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    /// Closes it; false (with errno set) when the close reports a failure.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::pwrite(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done),
                     static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        done += written;
    }
    return true;
}

/// A write beyond the file-size limit (ulimit -f) would stop short, having
/// changed the bytes before the limit: it is refused before anything is
/// written.
bool withinFileSizeLimit(qsizetype size) {
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
           static_cast<rlim_t>(size) <= limit.rlim_cur;
}

/// The new content over the old bytes of `target`, without emptying it first.
Written writeInPlace(const QByteArray& target, const QByteArray& bytes) {
    Descriptor file(::open(target.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) {
        return {systemError(errno)};
    }
    if (!S_ISREG(status.st_mode)) {
        return {QStringLiteral("not a regular file")};
    }
    if (!withinFileSizeLimit(bytes.size())) {
        return {systemError(EFBIG)};
    }
    // Room for the bytes past the old end is taken before any is written.
    if (bytes.size() > status.st_size) {
        if (const int code = ::posix_fallocate(file.get(), 0, bytes.size()); code != 0) {
            return {systemError(code)};
        }
    }
    if (!writeAll(file.get(), bytes) || ::ftruncate(file.get(), bytes.size()) != 0 ||
        ::fsync(file.get()) != 0 || !file.close()) {
        return {systemError(errno)};
    }
    return {};
}

/// The mode a new file gets: what the user's umask leaves of rw-rw-rw-.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

QString decodeFileName(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        char32_t codePoint = 0;
        if (lead < 0x80) {
            name.append(QChar(lead));
            ++at;
        } else if (const qsizetype length = utf8Length(bytes.sliced(at), codePoint); length > 0) {
            name.append(QString::fromUcs4(&codePoint, 1));
            at += length;
        } else {
            name.append(QChar(static_cast<char16_t>(kEscapedByte + lead)));
            ++at;
        }
    }
    return name;
}

QByteArray encodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0; // of the text not yet encoded
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name.at(at).unicode();
        if (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF &&
            (at == 0 || !name.at(at - 1).isHighSurrogate())) {
            bytes.append(name.sliced(start, at - start).toUtf8());
            bytes.append(static_cast<char>(unit - kEscapedByte));
            start = at + 1;
        }
    }
    bytes.append(name.sliced(start).toUtf8());
    return bytes;
}

QString readableFileName(const QString& name) {
    QString readable = name;
    for (qsizetype at = 0; at < readable.size(); ++at) {
        if (readable.at(at).isLowSurrogate() &&
            (at == 0 || !readable.at(at - 1).isHighSurrogate())) {
            readable[at] = QChar::ReplacementCharacter;
        }
    }
    return readable;
}

Read<QByteArray> readRegularFile(const QString& path, qint64 limit) {
    if (!isUsablePath(path)) {
        return {std::nullopt, QStringLiteral("no file name")};
    }
    Descriptor file(::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return {std::nullopt, systemError(errno)};
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return {std::nullopt, QStringLiteral("not a regular file")};
    }
    QByteArray bytes(static_cast<qsizetype>(std::min<qint64>(limit, status.st_size)),
                     Qt::Uninitialized);
    qsizetype done = 0;
    while (done < limit) {
        if (done == bytes.size()) {
            // The file grew since it was measured.
            bytes.resize(static_cast<qsizetype>(std::min<qint64>(limit, done + 4096)));
        }
        const ssize_t got =
            ::read(file.get(), bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return {std::nullopt, systemError(errno)};
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    bytes.truncate(done);
    return {std::move(bytes), {}};
}

Written replaceFile(const QString& path, const QByteArray& bytes) {
    if (!isUsablePath(path)) {
        return {QStringLiteral("no file name")};
    }
    QByteArray target = encodeFileName(path);
    // A link is followed to the file it names, which is what gets replaced.
    if (const std::unique_ptr<char, decltype(&std::free)> real(
            ::realpath(target.constData(), nullptr), &std::free);
        real) {
        target = real.get();
    }
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) {
            return {QStringLiteral("not a regular file")};
        }
        // A file whose mode grants nobody write access counts as read-only
        // even for root, who could write it anyway: the user marked it so.
        if ((existing.st_mode & 0222) == 0 || ::access(target.constData(), W_OK) != 0) {
            return {QStringLiteral("the file is read-only")};
        }
    }
    if (!withinFileSizeLimit(bytes.size())) {
        return {systemError(EFBIG)};
    }

    QByteArray temporary = target + ".XXXXXX";
    Descriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0) {
        const int code = errno;
        // The folder may not be written: only the file itself can be.
        if (exists && (code == EACCES || code == EPERM)) {
            return writeInPlace(target, bytes);
        }
        return {systemError(code)};
    }
    const mode_t mode = exists ? existing.st_mode & 07777 : newFileMode();
    if (::fchmod(file.get(), mode) != 0 || !writeAll(file.get(), bytes) ||
        ::fsync(file.get()) != 0 || !file.close() ||
        ::rename(temporary.constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return {systemError(code)};
    }
    return {};
}

} // namespace zr70
