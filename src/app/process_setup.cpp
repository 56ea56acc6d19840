#include "app/process_setup.h"

#include <QProcessEnvironment>

namespace zr70 {

bool startsOnX11(const QProcessEnvironment& environment) {
    const auto isSet = [&environment](const char* name) {
        return !environment.value(QString::fromLatin1(name)).isEmpty();
    };
    const bool wayland =
        environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland") ||
        isSet("WAYLAND_DISPLAY");
    return wayland && isSet("DISPLAY") && !isSet("QT_QPA_PLATFORM");
}

void chooseDisplayPlatform() {
    if (startsOnX11(QProcessEnvironment::systemEnvironment())) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

} // namespace zr70
