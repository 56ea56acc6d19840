// Writes the program icon and the About bitmap as PNG files, from the same
// drawing code the program uses:
//
//   render_artwork <resources directory>
//
// icons/hicolor/<n>x<n>/apps/zr70.png for every shipped size, and
// bitmaps/zr70-model.png (bitmap 129).

#include "ui/artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QDir root(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources"));
    bool ok = true;
    const auto write = [&](const QImage& image, const QString& relative) {
        const QString path = root.filePath(relative);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            ok = false;
        }
    };
    for (int size : zr70::kIconFileSizes) {
        write(zr70::renderProgramIcon(size),
              QStringLiteral("icons/hicolor/%1x%1/apps/zr70.png").arg(size));
    }
    write(zr70::renderModelBitmap(), QStringLiteral("bitmaps/zr70-model.png"));
    return ok ? 0 : 1;
}
