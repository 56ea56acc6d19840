#include "preset/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr70 {
namespace {

/// An empty path names no file, and a NUL would cut the name short where the
/// system reads it, so that a different file would be opened.
bool isUsablePath(const FileName& path) {
    return !path.isEmpty() && !path.bytes().contains('\0');
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

/// The folder part of `path`, with its last "/", empty for a name in the
/// current folder.
QByteArray folderOf(const QByteArray& path) {
    return path.left(path.lastIndexOf('/') + 1);
}

/// A new file of a short name of our own in `folder`, whatever the length of
/// the name it is to replace: the target's name and a suffix could pass the
/// system's 255 bytes. Made with `mode` less the user's umask.
Descriptor createTemporary(const QByteArray& folder, mode_t mode, QByteArray& name) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + ".zr70-";
        for (int letter = 0; letter < 8; ++letter) {
            name += kLetters[random() % (sizeof kLetters - 1)];
        }
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return Descriptor(fd);
        }
    }
    return Descriptor(-1);
}

} // namespace

bool FileName::hasExtension(std::initializer_list<std::string_view> extensions) const {
    const QByteArray name = bytes_.mid(bytes_.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && std::ranges::any_of(extensions, [&](std::string_view extension) {
               return QByteArrayView(name).sliced(dot + 1) ==
                      QByteArrayView(extension.data(), static_cast<qsizetype>(extension.size()));
           });
}

Read<QByteArray> readRegularFile(const FileName& path, qint64 limit) {
    if (!isUsablePath(path)) {
        return {std::nullopt, QStringLiteral("no file name")};
    }
    Descriptor file(::open(path.bytes().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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

Written replaceFile(const FileName& path, const QByteArray& bytes) {
    if (!isUsablePath(path)) {
        return {QStringLiteral("no file name")};
    }
    QByteArray target = path.bytes();
    // A link is followed to the file it names, which is what gets replaced.
    struct stat link {};
    if (::lstat(target.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        const std::unique_ptr<char, decltype(&std::free)> real(
            ::realpath(target.constData(), nullptr), &std::free);
        if (!real) {
            return {QStringLiteral("it is a link to nothing that can be written: ") +
                    systemError(errno)};
        }
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

    QByteArray temporary;
    Descriptor file = createTemporary(folderOf(target), exists ? 0600 : 0666, temporary);
    if (file.get() < 0) {
        const int code = errno;
        // The folder may not be written: only the file itself can be.
        if (exists && (code == EACCES || code == EPERM)) {
            return writeInPlace(target, bytes);
        }
        return {systemError(code)};
    }
    // A file that was there keeps its mode.
    if ((exists && ::fchmod(file.get(), existing.st_mode & 07777) != 0) ||
        !writeAll(file.get(), bytes) || ::fsync(file.get()) != 0 || !file.close() ||
        ::rename(temporary.constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return {systemError(code)};
    }
    return {};
}

FileLock::FileLock(FileName path, std::chrono::milliseconds wait) : path_(std::move(path)) {
    const char* name = path_.bytes().constData();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    do {
        fd_ = ::open(name, O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666);
        struct stat status {};
        if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
            break;
        }
        // The holder before removes the file as it lets go: a lock taken on a
        // file that is no longer there is no lock at all.
        struct stat now {};
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            if (::stat(name, &now) == 0 && now.st_ino == status.st_ino &&
                now.st_dev == status.st_dev) {
                held_ = true;
                return;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::close(std::exchange(fd_, -1));
    } while (std::chrono::steady_clock::now() < deadline);
}

FileLock::~FileLock() {
    if (held_) {
        ::unlink(path_.bytes().constData());
    }
    if (fd_ >= 0) {
        ::close(fd_); // lets the lock go
    }
}

} // namespace zr70
