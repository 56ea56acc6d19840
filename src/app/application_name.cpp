#include "app/application_name.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace zr70 {

QString executableBaseName() {
    // Without an application object Qt knows no executable; the name set by
    // hand is all there is then.
    const QString path = QCoreApplication::instance() != nullptr
                             ? QCoreApplication::applicationFilePath()
                             : QString();
    return path.isEmpty() ? QCoreApplication::applicationName()
                          : QFileInfo(path).completeBaseName();
}

} // namespace zr70
