#include "app/application_name.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace zr70 {

QString executableBaseName() {
    // Qt knows the executable once the application object exists; before
    // that, the kernel's link to it names the same file.
    const QString path = QCoreApplication::instance() != nullptr
                             ? QCoreApplication::applicationFilePath()
                             : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return path.isEmpty() ? QCoreApplication::applicationName()
                          : QFileInfo(path).completeBaseName();
}

} // namespace zr70
