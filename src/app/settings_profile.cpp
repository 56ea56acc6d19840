#include "app/settings_profile.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

namespace zr70 {
namespace {

constexpr std::string_view kSection = "zr70";

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

QByteArray lower(QByteArrayView text) {
    return text.toByteArray().toLower();
}

/// The file's lines, with where each key of the section is.
struct IniFile {
    /// One entry of the section, in any letter case.
    struct Entry {
        qsizetype line;
        QByteArray value; ///< as it stands, escapes and all
        int rank;         ///< 0 for the section's and the key's own spelling, more for others
    };

    QList<QByteArray> lines;

    explicit IniFile(const QByteArray& text) {
        lines = text.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) {
            lines.removeLast();
        }
    }

    QByteArray text() const { return lines.isEmpty() ? QByteArray() : lines.join('\n') + '\n'; }

    /// The name of the section that `line` starts, if it starts one.
    static std::optional<QByteArray> sectionOf(const QByteArray& line) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            return trimmed.sliced(1, trimmed.size() - 2);
        }
        return std::nullopt;
    }

    /// Every line of section "zr70" (in any letter case) that gives `key`,
    /// the closest spelling first.
    std::vector<Entry> entries(std::string_view key) const {
        std::vector<Entry> found;
        int sectionRank = -1; // not in the section
        for (qsizetype at = 0; at < lines.size(); ++at) {
            const QByteArray& line = lines[at];
            if (const std::optional<QByteArray> section = sectionOf(line)) {
                sectionRank =
                    lower(*section) == kSection.data() ? (*section == kSection.data() ? 0 : 2) : -1;
                continue;
            }
            const qsizetype equals = line.indexOf('=');
            const QByteArray name = line.left(equals).trimmed();
            if (sectionRank < 0 || equals < 0 || name.startsWith(';') || name.startsWith('#') ||
                lower(name) != lower(QByteArrayView(key.data(), qsizetype(key.size())))) {
                continue;
            }
            found.push_back(
                {at, line.sliced(equals + 1).trimmed(),
                 sectionRank +
                     (name == QByteArrayView(key.data(), qsizetype(key.size())) ? 0 : 1)});
        }
        std::ranges::stable_sort(found, {}, &Entry::rank);
        return found;
    }

    /// Writes "key=value" over the key's line, or into the section, made at
    /// the end when there is none.
    void set(std::string_view key, const QByteArray& value) {
        const QByteArray line = QByteArray(key.data(), qsizetype(key.size())) + '=' + value;
        if (const std::vector<Entry> found = entries(key); !found.empty()) {
            lines[found.front().line] = line;
            return;
        }
        // After the last line of the section that is not blank.
        qsizetype insertAt = -1;
        bool inSection = false;
        for (qsizetype at = 0; at < lines.size(); ++at) {
            if (const std::optional<QByteArray> section = sectionOf(lines[at])) {
                const bool ours = lower(*section) == kSection.data();
                if (ours && insertAt < 0) {
                    insertAt = at + 1;
                }
                inSection = ours && insertAt == at + 1;
            } else if (inSection && !lines[at].trimmed().isEmpty()) {
                insertAt = at + 1;
            }
        }
        if (insertAt < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) {
                lines.append(QByteArray());
            }
            lines.append('[' + QByteArray(kSection.data()) + ']');
            insertAt = lines.size();
        }
        lines.insert(insertAt, line);
    }
};

/// A value as it stands in the file, as text: quotes and escapes undone. Not
/// one text when it is a list (an unquoted comma) or a value of another kind
/// ("@Variant(...)", "@ByteArray(...)"); a text that starts with "@" stands
/// as "@@".
std::optional<QByteArray> unescaped(const QByteArray& value) {
    QByteArray text;
    bool quoted = false;
    for (qsizetype at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            return std::nullopt;
        } else if (c == ';' && !quoted) {
            break;
        } else if (c != '\\' || at + 1 == value.size()) {
            text += c;
        } else if (const char next = value[++at]; next == 'x') {
            char32_t codePoint = 0;
            while (at + 1 < value.size() &&
                   std::isxdigit(static_cast<unsigned char>(value[at + 1]))) {
                codePoint = codePoint * 16 + QByteArray(1, value[++at]).toUInt(nullptr, 16);
            }
            text += QString::fromUcs4(&codePoint, 1).toUtf8();
        } else {
            constexpr std::string_view kFrom = "abfnrtv0";
            constexpr std::string_view kTo = "\a\b\f\n\r\t\v";
            const std::size_t kind = kFrom.find(next);
            text += kind == std::string_view::npos ? next : kind < kTo.size() ? kTo[kind] : '\0';
        }
    }
    if (text.startsWith('@')) {
        if (!text.startsWith("@@")) {
            return std::nullopt;
        }
        text.remove(0, 1);
    }
    return text;
}

/// `text` as a value of the file, read back whole by this program and by
/// others that read such files: quoted where a comma, a semicolon, spaces at
/// either end or an escape would change it.
QByteArray escaped(std::string_view text) {
    QByteArray value = text.starts_with('@') ? "@" : "";
    bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
    bool hexBefore = false; // a \x escape just ended: a hex digit would run on
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool afterHex = std::exchange(hexBefore, false);
        quote = quote || std::string_view(",;=\\\"").find(c) != std::string_view::npos;
        if (c == '\\' || c == '"') {
            value += '\\';
            value += c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            value += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
            quote = true;
        } else if (byte < 0x20 || byte == 0x7F || (afterHex && std::isxdigit(byte))) {
            value += "\\x" + QByteArray::number(byte, 16);
            hexBefore = quote = true;
        } else {
            value += c;
        }
    }
    return quote ? '"' + value + '"' : value;
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

/// The lock that writers of the settings file take, a file beside it that
/// is there only while a writer holds it: held while the object lives, when
/// it was taken.
class WriteLock {
public:
    WriteLock(const FileName& settings, std::chrono::milliseconds wait)
        : path_(settings.bytes() + ".lck") {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        do {
            fd_ = ::open(path_.constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC,
                         0666);
            struct stat status {};
            if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
                break; // a FIFO or a folder of that name holds nothing up
            }
            // The holder before removes the file as it lets go: a lock taken
            // on a file that is no longer there is no lock at all.
            struct stat now {};
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                if (::stat(path_.constData(), &now) == 0 && now.st_ino == status.st_ino &&
                    now.st_dev == status.st_dev) {
                    held_ = true;
                    return;
                }
                std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ::close(std::exchange(fd_, -1));
        } while (std::chrono::steady_clock::now() < deadline);
    }
    ~WriteLock() {
        if (held_) {
            ::unlink(path_.constData());
        }
        if (fd_ >= 0) {
            ::close(fd_); // lets the lock go
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    bool held() const { return held_; }

private:
    QByteArray path_;
    int fd_ = -1;
    bool held_ = false;
};

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
    for (const IniFile::Entry& entry : IniFile(*content).entries(key)) {
        if (const std::optional<QByteArray> text = unescaped(entry.value); text) {
            return text->isEmpty() ? std::nullopt : std::optional(text->toStdString());
        }
    }
    return std::nullopt;
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
            file.set(key, escaped(value));
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
    const WriteLock lock(filePath_, lockWaited_ ? kLockWait : std::chrono::milliseconds(0));
    lockWaited_ = lock.held();
    if (!lock.held()) {
        return false;
    }
    // What another copy wrote while this one waited is kept.
    const std::optional<QByteArray> now = contentOf(filePath_);
    return now && replaceFile(filePath_, changed(*now)).ok();
}

} // namespace zr70
