#pragma once

#include "converter/parameter_set.h"
#include "preset/file_access.h"

#include <QByteArray>
#include <QString>

#include <string_view>

namespace zr70 {

/// A preset file: fifteen selection bytes in file order, then the 32-byte
/// trailer "\n--- Korvan ZR70 Preset File ---"; 47 bytes in all.
class PresetFile {
public:
    /// The preset that is loaded and sent at start, in the current folder.
    static constexpr const char* kDefaultName = "default.zr";

    static constexpr int kSelectionByteCount = 15;
    static constexpr std::string_view kTrailer = "\n--- Korvan ZR70 Preset File ---";
    static constexpr int kFileSize = kSelectionByteCount + static_cast<int>(kTrailer.size());

    /// True when the text after the last "." of the file name is exactly "ZR"
    /// or exactly "zr".
    static bool hasExtension(const FileName& path) { return path.hasExtension({"ZR", "zr"}); }
    /// What the name of a preset file must be, as the user is told it.
    static constexpr std::string_view kNameRule =
        "the name of a preset file must end in .zr or .ZR";

    /// The selections of the preset file at `path`, read as decode does;
    /// nothing when it cannot be opened as a regular file.
    static Read<ParameterSet> read(const FileName& path);

    /// Replaces the file at `path` with the 47 bytes of `set`, atomically
    /// where the folder allows (see replaceFile).
    static Written write(const FileName& path, const ParameterSet& set);

    /// The 47 bytes a save writes for the selections; a parameter without a
    /// selection is stored as FFh.
    static QByteArray encode(const ParameterSet& selections);

    /// The selections of the first fifteen of `bytes`, in file order; the
    /// rest is never looked at. A byte that names no entry of its list, and
    /// every parameter past the end of the data, gets no selection.
    static ParameterSet decode(QByteArrayView bytes);
};

} // namespace zr70
