#include "app/settings_profile.h"

#include "app/qt_text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace zr70 {
namespace {

constexpr auto kSection = QLatin1String("zr70");

/// A settings file holds a few short lines; anything far larger is no
/// settings file of this program and is not read.
constexpr qint64 kMaxFileSize = 64 * 1024;

QString defaultProfilePath() {
    const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(directory).filePath(QCoreApplication::applicationName() + QStringLiteral(".INI"));
}

/// Opening a FIFO or a device would wait for a writer, or read for ever:
/// only a regular file of sensible size is used, or none at all.
bool isRegularOrMissing(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(status.st_mode) && status.st_size <= kMaxFileSize;
}

/// A live program writes its process id into a lock file it has just made
/// far sooner than this.
constexpr qint64 kOwnerNamedWithinMs = 1000;

/// QSettings waits for the lock of a running copy for as long as it is held,
/// and a copy that is hung or stopped holds it for ever. A write waits this
/// long for it, and then fails.
constexpr int kLockWaitMs = 1500;

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

/// A lock file that names no owner is left by a program killed between making
/// it and writing its process id into it. It is removed here once it is a
/// second old, under the removal lock QLockFile takes for a stale lock file,
/// so no lock that another running panel has just taken is ever removed. A
/// lock file that names an owner that is gone QLockFile removes at once by
/// itself.
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

/// Waits, within `waitMs`, until no other copy holds the lock that QSettings
/// takes for a write; false when it is still held, or cannot be taken at all.
bool lockIsFree(const QString& lockPath, int waitMs) {
    removeLockWithoutOwner(lockPath);
    QLockFile probe(lockPath);
    if (!probe.tryLock(waitMs)) {
        return false;
    }
    probe.unlock();
    return true;
}

/// The groups, then the keys, that match in any letter case, the one of
/// exactly that name first.
QStringList matching(const QStringList& names, const QString& wanted) {
    QStringList found;
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            found.insert(name == wanted ? 0 : found.size(), name);
        }
    }
    return found;
}

} // namespace

SettingsProfile::SettingsProfile() : SettingsProfile(defaultProfilePath()) {}

SettingsProfile::SettingsProfile(QString filePath) : filePath_(std::move(filePath)) {}

std::optional<QString> SettingsProfile::read(std::string_view key) const {
    if (!isRegularOrMissing(filePath_)) {
        return std::nullopt;
    }
    // A fresh QSettings per read picks up what another running copy of the
    // program wrote since the last access.
    QSettings settings(filePath_, QSettings::IniFormat);
    for (const QString& group : matching(settings.childGroups(), kSection)) {
        settings.beginGroup(group);
        for (const QString& name : matching(settings.childKeys(), toQString(key))) {
            const QVariant value = settings.value(name);
            // Something that is no single value (a list, a variant) is none.
            if (value.typeId() == QMetaType::QString) {
                return value.toString();
            }
        }
        settings.endGroup();
    }
    return std::nullopt;
}

std::optional<std::int32_t> SettingsProfile::readInt(std::string_view key) const {
    // Only a whole decimal number that fits in 32 bits counts; anything else,
    // "12abc" or "4294967296" included, reads as none.
    bool ok = false;
    const int number = read(key).value_or(QString()).toInt(&ok, 10);
    return ok ? std::optional<std::int32_t>(number) : std::nullopt;
}

std::optional<std::string> SettingsProfile::readText(std::string_view key) const {
    const std::optional<QString> value = read(key);
    if (!value || value->isEmpty()) {
        return std::nullopt;
    }
    return value->toStdString();
}

bool SettingsProfile::write(std::initializer_list<Integer> integers,
                            std::initializer_list<Text> texts) {
    const QString lockPath = filePath_ + QStringLiteral(".lock");
    for (const QString& path : {filePath_, lockPath, lockPath + QStringLiteral(".rmlock")}) {
        if (!isRegularOrMissing(path)) {
            return false;
        }
    }
    // Integers as decimal strings, so the file holds exactly "key=-10"; a
    // text with a comma is written quoted, so it reads back as one text.
    std::vector<std::pair<QString, QString>> values;
    const auto keyOf = [](std::string_view key) {
        return kSection + QLatin1Char('/') + toQString(key);
    };
    for (const auto& [key, value] : integers) {
        values.emplace_back(keyOf(key), QString::number(value));
    }
    for (const auto& [key, value] : texts) {
        values.emplace_back(keyOf(key), toQString(value));
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
    // The folder is made first, or no lock could be taken in it.
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    // After one wait in vain, a lock still held fails the writes at once:
    // the window must not stall on every step of a drag.
    lockWaited_ = lockIsFree(lockPath, lockWaited_ ? kLockWaitMs : 0);
    if (!lockWaited_) {
        return false;
    }
    for (const auto& [key, value] : values) {
        settings.setValue(key, value);
    }
    // One sync for all of them: a drag reports many moves, and each sync
    // locks, rewrites and flushes the whole file.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace zr70
