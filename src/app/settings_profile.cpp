#include "app/settings_profile.h"

#include "app/qt_text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <utility>
#include <vector>

namespace zr70 {
namespace {

QString defaultProfilePath() {
    const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(directory).filePath(QCoreApplication::applicationName() + QStringLiteral(".INI"));
}

QString settingsKey(std::string_view section, std::string_view key) {
    return toQString(section) + QLatin1Char('/') + toQString(key);
}

/// A live program writes its process id into a lock file it has just made
/// far sooner than this.
constexpr qint64 kOwnerNamedWithinMs = 1000;

/// How many milliseconds ago the lock file at `lockPath` was made, when it
/// names no owner (empty, or cut short); -1 when there is none or it names its
/// owner. A lock file dated in the future counts as old.
qint64 ageOfLockWithoutOwner(const QString& lockPath) {
    const QFileInfo file(lockPath);
    qint64 pid = 0;
    QString host;
    QString application;
    if (!file.exists() || QLockFile(lockPath).getLockInfo(&pid, &host, &application)) {
        return -1;
    }
    const qint64 age = file.lastModified().msecsTo(QDateTime::currentDateTime());
    return age < 0 ? kOwnerNamedWithinMs : age;
}

/// QSettings locks "<file>.lock" around each write, and takes over a lock
/// file that names no owner only once it is 30 s old: that long the window
/// would hang. Such a file is left by a program killed between making it and
/// writing its process id into it. It is removed here once it is a second old,
/// under the removal lock QLockFile takes for a stale lock file, so no lock
/// that another running panel has just taken is ever removed. A lock file that
/// names an owner that is gone QLockFile removes at once by itself.
void removeLockWithoutOwner(const QString& lockPath) {
    const qint64 age = ageOfLockWithoutOwner(lockPath);
    if (age < 0) {
        return;
    }
    if (age < kOwnerNamedWithinMs) {
        QThread::msleep(static_cast<unsigned long>(kOwnerNamedWithinMs - age + 20));
    }
    QLockFile removal(lockPath + QStringLiteral(".rmlock"));
    // Where not even the removal lock can be written (a full disk, a file-size
    // limit), the lock file goes without it: QLockFile would wait for ever.
    const bool mayRemove = removal.tryLock(0) || removal.error() != QLockFile::LockFailedError;
    if (mayRemove && ageOfLockWithoutOwner(lockPath) >= kOwnerNamedWithinMs) {
        QFile::remove(lockPath);
    }
}

} // namespace

SettingsProfile::SettingsProfile() : SettingsProfile(defaultProfilePath()) {}

SettingsProfile::SettingsProfile(QString filePath) : filePath_(std::move(filePath)) {}

std::int32_t SettingsProfile::readInt(std::string_view section, std::string_view key,
                                      std::int32_t fallback) const {
    // A fresh QSettings per read picks up what another running copy of the
    // program wrote since the last access.
    const QSettings settings(filePath_, QSettings::IniFormat);
    const QVariant value = settings.value(settingsKey(section, key));
    if (!value.isValid() || value.typeId() != QMetaType::QString) {
        // Missing, or something that is no single value (a list, a variant).
        return fallback;
    }
    // Only a whole decimal number that fits in 32 bits counts; anything else,
    // "12abc" or "4294967296" included, reads as the caller's default.
    bool ok = false;
    const int number = value.toString().toInt(&ok, 10);
    return ok ? static_cast<std::int32_t>(number) : fallback;
}

bool SettingsProfile::writeInt(std::string_view section, std::string_view key, std::int32_t value) {
    return writeInts(section, {{key, value}});
}

bool SettingsProfile::writeInts(std::string_view section, std::initializer_list<Entry> entries) {
    return writeValues(section, entries, {});
}

std::optional<std::string> SettingsProfile::readText(std::string_view section,
                                                     std::string_view key) const {
    const QSettings settings(filePath_, QSettings::IniFormat);
    const QVariant value = settings.value(settingsKey(section, key));
    if (!value.isValid() || value.typeId() != QMetaType::QString || value.toString().isEmpty()) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

bool SettingsProfile::writeText(std::string_view section, std::string_view key,
                                std::string_view value) {
    return writeValues(section, {}, {{key, value}});
}

bool SettingsProfile::writeValues(std::string_view section, std::initializer_list<Entry> integers,
                                  std::initializer_list<TextEntry> texts) {
    // Integers as decimal strings, so the file holds exactly "key=-10"; a
    // text with a comma is written quoted, so it reads back as one text.
    std::vector<std::pair<QString, QString>> values;
    for (const auto& [key, value] : integers) {
        values.emplace_back(settingsKey(section, key), QString::number(value));
    }
    for (const auto& [key, value] : texts) {
        values.emplace_back(settingsKey(section, key), toQString(value));
    }
    QSettings settings(filePath_, QSettings::IniFormat);
    // What the file holds already is not written again: each write locks,
    // rewrites and flushes the whole file, at every start too.
    const bool unchanged = std::ranges::all_of(values, [&](const auto& entry) {
        const QVariant stored = settings.value(entry.first);
        return stored.typeId() == QMetaType::QString && stored.toString() == entry.second;
    });
    if (unchanged && settings.status() == QSettings::NoError) {
        return true;
    }
    removeLockWithoutOwner(filePath_ + QStringLiteral(".lock"));
    for (const auto& [key, value] : values) {
        settings.setValue(key, value);
    }
    // One sync for all of them: a drag reports many moves, and each sync
    // locks, rewrites and flushes the whole file.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void storeWindowPosition(IntegerSettings& settings, std::int32_t x, std::int32_t y) {
    settings.writeInts(kSettingsSection, {{"xpos", x}, {"ypos", y}});
}

namespace {

constexpr std::string_view kDeviceKey = "mididevice";
constexpr std::string_view kDeviceNameKey = "mididevicename";
constexpr int kNoStoredDevice = -1;

} // namespace

std::optional<std::string> storedOutputName(const IntegerSettings& settings) {
    return settings.readText(kSettingsSection, kDeviceNameKey);
}

int storedOutput(const IntegerSettings& settings, const std::vector<std::string>& names) {
    if (const std::optional<std::string> name = storedOutputName(settings)) {
        for (std::size_t index = 0; index < names.size(); ++index) {
            if (names[index] == *name) {
                return static_cast<int>(index);
            }
        }
    }
    const int stored = settings.readInt(kSettingsSection, kDeviceKey, kNoStoredDevice);
    return stored == kNoStoredDevice ? 0 : stored;
}

void storeOutput(IntegerSettings& settings, int index, const std::vector<std::string>& names) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
        // No name to go with it: a stored name stays for its device to come back.
        settings.writeInt(kSettingsSection, kDeviceKey, index);
        return;
    }
    settings.writeValues(kSettingsSection, {{kDeviceKey, index}},
                         {{kDeviceNameKey, names[static_cast<std::size_t>(index)]}});
}

} // namespace zr70
