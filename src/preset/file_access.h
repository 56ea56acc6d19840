#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

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

/// A file name as the program holds it, from the bytes the system uses.
/// Linux file names are bytes, not text: UTF-8 sequences become their
/// characters, and every byte that is no part of one becomes the lone
/// surrogate U+DC80 + byte, which no valid UTF-8 can produce. So every name
/// comes back as the very same bytes from encodeFileName, and a name the user
/// gave is never turned into another.
QString decodeFileName(QByteArrayView bytes);

/// The bytes of a name made by decodeFileName (any other text as UTF-8).
QByteArray encodeFileName(const QString& name);

/// The name as a person reads it: every byte that is no part of a UTF-8
/// character shows as U+FFFD.
QString readableFileName(const QString& name);

/// At most the first `limit` bytes of the regular file at `path`. A FIFO at
/// the path cannot stall the caller, and the type is taken from the open
/// descriptor, so nothing can be swapped in between the check and the read.
/// Directories, FIFOs, devices, an empty path and a path with a NUL are
/// failed reads.
Read<QByteArray> readRegularFile(const QString& path, qint64 limit);

/// Writes `bytes` as the whole content of the file at `path`, created when
/// missing. The bytes go to a temporary file beside it that is synced and
/// renamed over `path` only when everything was written, so a failed write
/// leaves any previous file whole. A symbolic link is followed: the file it
/// points to is replaced, and the link stays.
///
/// Refused: anything but a regular file, and a file whose mode grants nobody
/// write access (even root, who could write it: the user marked it so).
///
/// A writable file in a folder the user may not write cannot be replaced, as
/// there is nowhere to put the temporary file: such a file is written over in
/// place. Room for the new content is taken first and the old bytes are
/// overwritten without emptying the file, so a failure before the write (a
/// full disk, a file-size limit, the program killed) leaves the old content.
///
Written replaceFile(const QString& path, const QByteArray& bytes);

} // namespace zr70
