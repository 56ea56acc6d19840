#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace zr70 {

/// What reading a file came to: its content, or why there is none.
template <typename T> struct Read {
    std::optional<T> value;
    QString error; ///< why there is no value

    explicit operator bool() const { return value.has_value(); }
    const T& operator*() const { return *value; }
    const T* operator->() const { return &*value; }
};

/// What writing a file came to.
struct Written {
    QString error; ///< why it was not written; empty when it was

    bool ok() const { return error.isEmpty(); }
};

/// A file name as the system takes it. Linux file names are bytes, not text:
/// a name from the command line or a file dialog is held as its bytes all the
/// way to the system call, so that it always names the file it named, and it
/// becomes text only to be shown.
class FileName {
public:
    FileName() = default;
    explicit FileName(QByteArray bytes) : bytes_(std::move(bytes)) {}
    explicit FileName(const char* bytes) : bytes_(bytes) {}
    /// A name the program or a person gave as text: its UTF-8 bytes.
    explicit FileName(const QString& text) : bytes_(text.toUtf8()) {}

    const QByteArray& bytes() const { return bytes_; }
    bool isEmpty() const { return bytes_.isEmpty(); }

    /// The name as a person reads it: every byte that is no part of a UTF-8
    /// character shows as U+FFFD.
    QString shown() const { return QString::fromUtf8(bytes_); }

    /// True when the text after the last "." of the name's last part is
    /// exactly one of `extensions`; a folder "/a.zr/" says nothing about the
    /// file in it.
    bool hasExtension(std::initializer_list<std::string_view> extensions) const;

    bool operator==(const FileName&) const = default;

private:
    QByteArray bytes_;
};

/// At most the first `limit` bytes of the regular file at `path`. A FIFO at
/// the path cannot stall the caller, and the type is taken from the open
/// descriptor, so nothing can be swapped in between the check and the read.
/// Directories, FIFOs, devices, an empty path and a path with a NUL are
/// failed reads.
Read<QByteArray> readRegularFile(const FileName& path, qint64 limit);

/// Writes `bytes` as the whole content of the file at `path`, created when
/// missing with the mode the user's umask leaves of rw-rw-rw-. The bytes go
/// to a temporary file of a short name of its own in the same folder, which
/// is synced and renamed over `path` only when everything was written, so a
/// failed write leaves any previous file whole, and a name as long as the
/// system allows can be written. A symbolic link is followed: the file it
/// points to is replaced, and the link stays; a link that points to nothing
/// is left as it is, and the write fails.
///
/// Refused: anything but a regular file, and a file whose mode grants nobody
/// write access (even root, who could write it: the user marked it so).
///
/// A writable file in a folder the user may not write cannot be replaced, as
/// there is nowhere to put the temporary file: such a file is written over in
/// place. Room for the new content is taken first and the old bytes are
/// overwritten without emptying the file, so a failure before the write (a
/// full disk, a file-size limit, the program killed) leaves the old content.
Written replaceFile(const FileName& path, const QByteArray& bytes);

/// A lock that programs take on a file, by taking the lock file `path` (a
/// file of its own beside it, there only while it is held): held while the
/// object lives, when it was taken within `wait`. A lock file that is no
/// regular file (a FIFO, a folder) holds nothing up: the lock is not taken.
class FileLock {
public:
    FileLock(FileName path, std::chrono::milliseconds wait);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return held_; }

private:
    FileName path_;
    int fd_ = -1;
    bool held_ = false;
};

} // namespace zr70
