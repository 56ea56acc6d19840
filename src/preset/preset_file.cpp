#include "preset/preset_file.h"

#include "preset/file_access.h"

#include <algorithm>
#include <array>

namespace zr70 {
namespace {

static_assert(PresetFile::kTrailer.size() == 32);
static_assert(PresetFile::kFileSize == 47);
static_assert(kPresetFileOrder.size() == PresetFile::kSelectionByteCount);

} // namespace

Read<ParameterSet> PresetFile::read(const FileName& path) {
    // Only the selection bytes matter; the trailer and anything after it are
    // never read, so files with another trailer or none load all the same.
    const Read<QByteArray> bytes = readRegularFile(path, kSelectionByteCount);
    if (!bytes) {
        return {std::nullopt, bytes.error};
    }
    return {decode(*bytes), {}};
}

Written PresetFile::write(const FileName& path, const ParameterSet& set) {
    return replaceFile(path, encode(set));
}

QByteArray PresetFile::encode(const ParameterSet& set) {
    const std::array<std::uint8_t, kParameterCount> selections = toPresetBytes(set);
    QByteArray bytes(reinterpret_cast<const char*>(selections.data()),
                     static_cast<qsizetype>(selections.size()));
    bytes.append(kTrailer.data(), static_cast<qsizetype>(kTrailer.size()));
    return bytes;
}

ParameterSet PresetFile::decode(QByteArrayView bytes) {
    const QByteArrayView selections =
        bytes.first(std::min<qsizetype>(bytes.size(), kSelectionByteCount));
    return fromPresetBytes(std::span(reinterpret_cast<const std::uint8_t*>(selections.data()),
                                     static_cast<std::size_t>(selections.size())));
}

} // namespace zr70
