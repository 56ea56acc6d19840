#include "app/settings_profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace zr70 {
namespace {

/// The executable's file name without directory and extension, as the
/// profile and the message boxes are named after it.
QString applicationBaseName() {
    // Without an application object Qt knows no executable and says so on
    // stderr; the name set by hand is all there is then.
    const QString path = QCoreApplication::instance() != nullptr
                             ? QCoreApplication::applicationFilePath()
                             : QString();
    if (!path.isEmpty()) {
        // completeBaseName strips only the last suffix: "zr70" stays "zr70",
        // "zr70.bin" becomes "zr70", and a dotted name keeps its dots.
        return QFileInfo(path).completeBaseName();
    }
    return QCoreApplication::applicationName();
}

QString defaultProfilePath() {
    const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(directory).filePath(applicationBaseName() + QStringLiteral(".INI"));
}

QString settingsKey(std::string_view section, std::string_view key) {
    return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) +
           QLatin1Char('/') + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
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
    QSettings settings(filePath_, QSettings::IniFormat);
    // Written as a decimal string, so the file holds exactly "key=-10".
    settings.setValue(settingsKey(section, key), QString::number(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void storeWindowPosition(IntegerSettings& settings, std::int32_t x, std::int32_t y) {
    settings.writeInt(kSettingsSection, "xpos", x);
    settings.writeInt(kSettingsSection, "ypos", y);
}

} // namespace zr70
