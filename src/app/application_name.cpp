#include "app/application_name.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace zr70 {

QString executableBaseName() {
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QCoreApplication::applicationName()
                          : QFileInfo(path).completeBaseName();
}

} // namespace zr70
