#include "app/settings_profile.h"

#include <QCoreApplication>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

namespace zr70 {
namespace {

constexpr QByteArrayView kSection = "zr70";

/// A settings file holds a few short lines; anything far larger is no
/// settings file of this program and is neither read nor written.
constexpr qint64 kMaxFileSize = 64 * 1024;

FileName defaultProfilePath() {
    // Where the desktop keeps programs' settings: $XDG_CONFIG_HOME, else
    // ~/.config.
    QByteArray folder = qgetenv("XDG_CONFIG_HOME");
    if (!folder.startsWith('/')) {
        folder = qgetenv("HOME") + "/.config";
    }
    return FileName(folder + '/' + QCoreApplication::applicationName().toUtf8() + ".INI");
}

/// The settings file's lines, and where its section "zr70" (in any letter
/// case; the first of that name) is.
struct IniFile {
    QList<QByteArray> lines;
    qsizetype begin = -1; ///< the section's first line after its header; -1 for none
    qsizetype end = -1;   ///< after its last line that is not blank

    explicit IniFile(const QByteArray& text) : lines(text.split('\n')) {
        if (!lines.isEmpty() && lines.last().isEmpty()) {
            lines.removeLast();
        }
        bool inSection = false;
        for (qsizetype at = 0; at < lines.size(); ++at) {
            const QByteArray line = lines[at].trimmed();
            if (line.startsWith('[') && line.endsWith(']')) {
                inSection = begin < 0 && line.sliced(1, line.size() - 2).toLower() == kSection;
                begin = end = inSection ? at + 1 : begin;
            } else if (inSection && !line.isEmpty()) {
                end = at + 1;
            }
        }
    }

    QByteArray text() const { return lines.isEmpty() ? QByteArray() : lines.join('\n') + '\n'; }

    /// The line of the section that gives `key`, in any letter case; -1 for none.
    qsizetype find(std::string_view key) const {
        for (qsizetype at = std::max<qsizetype>(begin, 0); at < end; ++at) {
            if (const qsizetype equals = lines[at].indexOf('=');
                equals > 0 && lines[at].left(equals).trimmed().toLower() ==
                                  QByteArrayView(key.data(), qsizetype(key.size()))) {
                return at;
            }
        }
        return -1;
    }

    /// The value `key` has, as it stands.
    std::optional<QByteArray> value(std::string_view key) const {
        const qsizetype at = find(key);
        return at < 0 ? std::nullopt
                      : std::optional(lines[at].sliced(lines[at].indexOf('=') + 1).trimmed());
    }

    /// Writes "key=value" over the key's line, or at the end of the section,
    /// made at the end of the file when there is none.
    void set(std::string_view key, const QByteArray& value) {
        const QByteArray line = QByteArray(key.data(), qsizetype(key.size())) + '=' + value;
        if (const qsizetype at = find(key); at >= 0) {
            lines[at] = line;
            return;
        }
        if (begin < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) {
                lines.append(QByteArray());
            }
            lines.append("[" + kSection.toByteArray() + "]");
            begin = end = lines.size();
        }
        lines.insert(end++, line);
    }
};

/// A value as text: a quoted one without its quotes and escapes. Nothing for
/// a value that Qt's form marks as one of another kind ("@Variant(...)",
/// "@ByteArray(...)"), where "@@" stands for a text's own "@".
std::optional<QByteArray> textOf(QByteArray value) {
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        QByteArray text;
        for (qsizetype at = 1; at + 1 < value.size(); ++at) {
            char c = value[at];
            if (c == '\\' && at + 2 < value.size()) {
                c = value[++at];
                c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
            text += c;
        }
        value = text;
    }
    if (value.startsWith('@') && !value.startsWith("@@")) {
        return std::nullopt;
    }
    return value.startsWith('@') ? value.sliced(1) : value;
}

/// `text` as a value that reads back whole, here and in the other programs
/// that read such files: quoted where a comma, a semicolon, an end of line or
/// spaces at either end would change it.
QByteArray valueOf(std::string_view text) {
    QByteArray value = QByteArray(text.starts_with('@') ? "@" : "") +
                       QByteArray(text.data(), qsizetype(text.size()));
    const bool plain =
        !value.startsWith(' ') && !value.endsWith(' ') && std::ranges::none_of(value, [](char c) {
            return std::string_view(",;=\"\\\n\r\t").find(c) != std::string_view::npos;
        });
    if (plain) {
        return value;
    }
    value.replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\n");
    return '"' + value.replace("\r", "\\r").replace("\t", "\\t") + '"';
}

/// What the file holds: empty when it is not there; nothing when it is no
/// regular file of sensible size, or cannot be read.
std::optional<QByteArray> contentOf(const FileName& path) {
    struct stat status {};
    if (::stat(path.bytes().constData(), &status) != 0 && errno == ENOENT) {
        return QByteArray();
    }
    const Read<QByteArray> read = readRegularFile(path, kMaxFileSize + 1);
    if (!read || read->size() > kMaxFileSize) {
        return std::nullopt;
    }
    return *read;
}

/// Makes the folder `path` and those above it that are missing.
void makeFolders(const QByteArray& path) {
    for (qsizetype slash = path.indexOf('/', 1); slash >= 0; slash = path.indexOf('/', slash + 1)) {
        ::mkdir(path.left(slash).constData(), 0777);
    }
}

} // namespace

SettingsProfile::SettingsProfile() : SettingsProfile(defaultProfilePath()) {}

SettingsProfile::SettingsProfile(FileName filePath) : filePath_(std::move(filePath)) {}

std::optional<std::string> SettingsProfile::readText(std::string_view key) const {
    // The file is read anew each time: another running copy of the program
    // may have written it since.
    const std::optional<QByteArray> content = contentOf(filePath_);
    if (!content) {
        return std::nullopt;
    }
    const std::optional<QByteArray> value = IniFile(*content).value(key);
    const std::optional<QByteArray> text = value ? textOf(*value) : std::nullopt;
    return text && !text->isEmpty() ? std::optional(text->toStdString()) : std::nullopt;
}

std::optional<std::int32_t> SettingsProfile::readInt(std::string_view key) const {
    // Only a whole decimal number that fits in 32 bits counts; anything else,
    // "12abc" or "4294967296" included, reads as none.
    bool ok = false;
    const int number = QString::fromStdString(readText(key).value_or("")).toInt(&ok, 10);
    return ok ? std::optional<std::int32_t>(number) : std::nullopt;
}

bool SettingsProfile::write(std::initializer_list<Integer> integers,
                            std::initializer_list<Text> texts) {
    const auto changed = [&](const QByteArray& content) {
        IniFile file(content);
        for (const auto& [key, value] : integers) {
            file.set(key, QByteArray::number(value));
        }
        for (const auto& [key, value] : texts) {
            file.set(key, valueOf(value));
        }
        return file.text();
    };
    // What the file holds already is not written again: at every start, and
    // for most moves of a drag, nothing changes.
    const std::optional<QByteArray> before = contentOf(filePath_);
    if (!before) {
        return false;
    }
    if (changed(*before) == *before) {
        return true;
    }
    makeFolders(filePath_.bytes());
    // After one wait in vain, a lock still held fails the writes at once:
    // the window must not stall on every step of a drag.
    const FileLock lock(FileName(filePath_.bytes() + ".lck"),
                        lockWaited_ ? kLockWait : std::chrono::milliseconds(0));
    lockWaited_ = lock.held();
    if (!lock.held()) {
        return false;
    }
    // What another copy wrote while this one waited is kept.
    const std::optional<QByteArray> now = contentOf(filePath_);
    return now && replaceFile(filePath_, changed(*now)).ok();
}

} // namespace zr70
