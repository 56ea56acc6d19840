// Writes the program icon as PNG files for desktop menus, from the same
// drawing code the program draws its window icon with:
//
//   render_artwork <directory>
//
// icons/hicolor/<n>x<n>/apps/zr70.png for every shipped size.

#include "ui/artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QDir root(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    bool ok = true;
    for (int size : zr70::kIconFileSizes) {
        const QString path =
            root.filePath(QStringLiteral("icons/hicolor/%1x%1/apps/zr70.png").arg(size));
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
            !zr70::renderProgramIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
