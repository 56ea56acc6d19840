#include "preset/preset_file.h"

#include "preset/file_access.h"

#include <QFile>

#include <array>

namespace zr70 {
namespace {

static_assert(PresetFile::kTrailer.size() == 32);
static_assert(PresetFile::kFileSize == 47);
static_assert(kPresetFileOrder.size() == PresetFile::kSelectionByteCount);

} // namespace

bool PresetFile::hasExtension(const QString& path) {
    // Only the file name counts: a directory such as "/a.zr/" says nothing
    // about the file inside it.
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return false;
    }
    const QString extension = name.mid(dot + 1);
    return extension == QLatin1String("ZR") || extension == QLatin1String("zr");
}

std::optional<ParameterSet> PresetFile::read(const QString& path, QString* error) {
    QFile file;
    if (!openRegularFile(path, file, error)) {
        return std::nullopt;
    }
    return decode(file);
}

bool PresetFile::write(const QString& path, const ParameterSet& set, QString* error) {
    return replaceFile(path, encode(set), error);
}

QByteArray PresetFile::encode(const ParameterSet& set) {
    const std::array<std::uint8_t, kParameterCount> selections = toPresetBytes(set);
    QByteArray bytes(reinterpret_cast<const char*>(selections.data()),
                     static_cast<qsizetype>(selections.size()));
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
