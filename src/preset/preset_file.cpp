#include "preset/preset_file.h"

#include "preset/file_access.h"

#include <QFile>

#include <array>

namespace zr70 {
namespace {

static_assert(PresetFile::kTrailer.size() == 32);
static_assert(PresetFile::kFileSize == 47);
static_assert(kPresetFileOrder.size() == PresetFile::kSelectionByteCount);

/// The path as the user sees it in "Failed on opening %s": a-z become A-Z and
/// every other character stays, whatever the locale.
QString upperCaseAscii(QString text) {
    for (QChar& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(static_cast<char16_t>(c.unicode() - (u'a' - u'A')));
        }
    }
    return text;
}

} // namespace

PresetFile::PresetFile(ParameterSet& selections, UserMessages& messages)
    : selections_(selections), messages_(messages) {}

int PresetFile::loadPreset(const QString& path) {
    const std::optional<ParameterSet> set = read(path);
    if (!set) {
        const QString text = QStringLiteral("Failed on opening ") + upperCaseAscii(path);
        messages_.show(text.toUtf8().toStdString());
        return 0;
    }
    selections_ = *set;
    return 1;
}

int PresetFile::savePreset(const QString& path) {
    if (!write(path, selections_)) {
        messages_.show("Failed on saving file");
        return 0;
    }
    return 1;
}

int PresetFile::saveDefault() {
    return savePreset(QString::fromLatin1(kDefaultPresetName));
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
