#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace zr70 {

/// Opens a regular file for reading into `file`. A FIFO at the path cannot
/// stall the caller, and the type is taken from the open descriptor, so
/// nothing can be swapped in between the check and the read. Directories,
/// FIFOs, devices, an empty path and a path with a NUL are failed opens; on
/// failure `error` (when given) says why.
bool openRegularFile(const QString& path, QFile& file, QString* error = nullptr);

/// Writes `bytes` as the whole content of the file at `path`, created when
/// missing. The bytes go to a temporary file beside it that is synced and
/// renamed over `path` only when everything was written, so a failed write
/// leaves any previous file whole.
///
/// Refused: anything but a regular file, and a file whose mode grants nobody
/// write access (even root, who could write it: the user marked it so).
///
/// A writable file in a folder the user may not write cannot be replaced, as
/// there is nowhere to put the temporary file: such a file is written in
/// place, which is not atomic. Everywhere else the file is replaced, which
/// also means that a file with several hard links leaves this name linked to
/// the new file (the other names keep the old content), and that a file owned
/// by someone else becomes the writer's, with its mode kept.
///
/// On failure `error` (when given) says why.
bool replaceFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace zr70
