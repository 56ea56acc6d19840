#include "ui/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <string_view>

namespace zr70 {

namespace {

const QColor kLime(0x00, 0xFF, 0x00);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kWhite(0xFF, 0xFF, 0xFF);

/// The two letters on a 32 x 32 grid: a z with straight bars and a diagonal,
/// and an r with a stem and a squared shoulder.
QPainterPath iconLetters() {
    QPainterPath path;
    path.addPolygon(QPolygonF({{3, 10},
                               {15, 10},
                               {15, 14},
                               {8.5, 23},
                               {15, 23},
                               {15, 27},
                               {3, 27},
                               {3, 23},
                               {9.5, 14},
                               {3, 14}}));
    path.closeSubpath();
    path.addPolygon(QPolygonF({{18, 10},
                               {22, 10},
                               {22, 12.5},
                               {25, 10},
                               {30, 10},
                               {30, 14},
                               {26, 14},
                               {22, 17.5},
                               {22, 27},
                               {18, 27}}));
    path.closeSubpath();
    return path;
}

/// Block letters on a 5 x 7 grid, each cell drawn as a 2 x 2 pixel block.
struct Glyph {
    std::array<std::string_view, 7> rows;
};

constexpr Glyph kZ{{"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}};
constexpr Glyph kR{{"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}};
constexpr Glyph kDash{{".....", ".....", ".....", ".###.", ".....", ".....", "....."}};
constexpr Glyph kSeven{{"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}};
constexpr Glyph kZero{{".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}};

constexpr int kBlock = 2;
constexpr int kGlyphGap = 2;
constexpr QSize kModelBitmapSize(60, 17);

/// At 16 x 16 a drawn outline blurs the letters, so the small icon is set
/// pixel by pixel: N navy, L lime, anything else transparent.
constexpr std::array<std::string_view, 16> kSmallIcon{
    "................", //
    "................", //
    "................", //
    "................", //
    "NNNNNNNNNNNNNNNN", //
    "NLLLLLLNNLLLLLLN", //
    "NNNNLLLNNLLLNNNN", //
    "...NLLN.NLLN....", //
    "..NLLN..NLLN....", //
    ".NLLN...NLLN....", //
    "NLLLNNNNNLLN....", //
    "NLLLLLLNNLLN....", //
    "NNNNNNNNNNNN....", //
    "................", //
    "................", //
    "................", //
};

QImage renderSmallIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 16.0, size / 16.0);
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            const char cell =
                kSmallIcon[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            if (cell == 'N' || cell == 'L') {
                painter.fillRect(column, row, 1, 1, cell == 'N' ? kNavy : kLime);
            }
        }
    }
    return image;
}

} // namespace

QImage renderProgramIcon(int size) {
    if (size < 24) {
        return renderSmallIcon(size);
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    // The half of the outline that falls inside the letters is painted over by
    // the fill.
    const QPainterPath letters = iconLetters();
    painter.setPen(QPen(kNavy, 3.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(letters);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLime);
    painter.drawPath(letters);
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : kIconFileSizes) {
        icon.addPixmap(QPixmap::fromImage(renderProgramIcon(size)));
    }
    return icon;
}

QImage renderModelBitmap() {
    QImage image(kModelBitmapSize, QImage::Format_RGB32);
    image.fill(kWhite);
    QPainter painter(&image);
    const std::array glyphs{&kZ, &kR, &kDash, &kSeven, &kZero};
    int left = 1;
    const int top = 2;
    for (const Glyph* glyph : glyphs) {
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (glyph->rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] ==
                    '#') {
                    painter.fillRect(left + column * kBlock, top + row * kBlock, kBlock, kBlock,
                                     kNavy);
                }
            }
        }
        left += 5 * kBlock + kGlyphGap;
    }
    return image;
}

QImage bitmapResource(int resource) {
    return resource == kModelBitmapResource ? renderModelBitmap() : QImage();
}

} // namespace zr70
