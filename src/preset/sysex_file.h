#pragma once

#include "converter/parameter_set.h"
#include "preset/file_access.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zr70 {

/// A SysEx (.syx) file as the rest of the MIDI world trades them: MIDI System
/// Exclusive messages back to back, nothing else.
class SysExFile {
public:
    /// What an import found.
    struct Import {
        ParameterSet set;
        int used = 0;    ///< valid data-set messages of the converter
        int skipped = 0; ///< other messages, broken messages and stray bytes
    };

    /// Larger files are refused unread: a full set of the converter's
    /// settings is 165 bytes, and the largest dumps of other devices are far
    /// below this.
    static constexpr qint64 kMaxFileSize = qint64{16} * 1024 * 1024;

    /// True when the file name ends in ".syx" or ".SYX".
    static bool hasExtension(const FileName& path) { return path.hasExtension({"syx", "SYX"}); }
    /// What the name of a SysEx file must be, as the user is told it.
    static constexpr std::string_view kNameRule =
        "the name of a SysEx file must end in .syx or .SYX";

    /// The send-all messages of `set` back to back; parameters without a
    /// selection are left out.
    static QByteArray encode(const ParameterSet& set);

    /// Every data-set message of the converter, F0 41 10 70 12 00 00 ii vv cs
    /// F7, whose parameter index, value and checksum are valid sets that
    /// parameter; a later message for the same parameter wins. Real-time
    /// bytes (F8-FF) inside a message are passed over. Every other
    /// message (another maker's, a bad checksum, a value out of range), every
    /// message cut short by another status byte or the end of the data, and
    /// every run of bytes outside a message counts once as skipped.
    /// Parameters without a valid message get no selection.
    static Import decode(std::span<const std::uint8_t> bytes);

    /// Reads and decodes the file at `path`. Nothing when it is no readable
    /// regular file, is larger than kMaxFileSize, or holds no valid message
    /// of the converter.
    static Read<Import> read(const FileName& path);

    /// Replaces the file at `path` with encode(set), as presets are replaced
    /// (see replaceFile). A set without any selection, which would make an
    /// empty file, is not written.
    static Written write(const FileName& path, const ParameterSet& set);
};

} // namespace zr70
