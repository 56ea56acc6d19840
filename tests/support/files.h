#pragma once

// A folder of the test's own, and the files in it.

#include "preset/preset_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <initializer_list>

namespace zr70::testing {

/// A temporary folder, removed with everything in it when the object goes.
/// Made with `enter`, it is the current folder while it lives, where
/// "default.zr" is read and written.
class TestFolder {
public:
    explicit TestFolder(bool enter = false) : previous_(QDir::currentPath()), entered_(enter) {
        if (enter) {
            QDir::setCurrent(folder_.path());
        }
    }
    ~TestFolder() {
        if (entered_) {
            QDir::setCurrent(previous_);
        }
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    QString path() const { return folder_.path(); }
    QString path(const QString& name) const { return folder_.filePath(name); }

    /// Writes `bytes` as the whole file `name`; false when it could not.
    bool write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    /// The whole file `name`; empty when it cannot be read.
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool exists(const QString& name) const { return QFile::exists(path(name)); }

private:
    QTemporaryDir folder_;
    QString previous_;
    bool entered_;
};

/// A preset file's bytes: the selection bytes given, in file order, then the
/// trailer.
inline QByteArray presetBytes(std::initializer_list<std::uint8_t> selections) {
    QByteArray bytes;
    for (const std::uint8_t selection : selections) {
        bytes.append(static_cast<char>(selection));
    }
    return bytes.append(PresetFile::kTrailer.data(),
                        static_cast<qsizetype>(PresetFile::kTrailer.size()));
}

} // namespace zr70::testing
