#include "app/settings_profile.h"

#include "app/qt_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

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
    QSettings settings(filePath_, QSettings::IniFormat);
    for (const auto& [key, value] : entries) {
        // Written as a decimal string, so the file holds exactly "key=-10".
        settings.setValue(settingsKey(section, key), QString::number(value));
    }
    // One sync for all of them: a drag reports many moves, and each sync
    // locks, rewrites and flushes the whole file.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void storeWindowPosition(IntegerSettings& settings, std::int32_t x, std::int32_t y) {
    settings.writeInts(kSettingsSection, {{"xpos", x}, {"ypos", y}});
}

} // namespace zr70
