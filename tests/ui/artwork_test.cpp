#include "ui/artwork.h"

#include "ui/static_controls.h"

#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

const QColor kLime(0x00, 0xFF, 0x00);
const QColor kNavy(0x00, 0x00, 0x80);

QSet<QRgb> opaqueColours(const QImage& image) {
    QSet<QRgb> colours;
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (qAlpha(plain.pixel(x, y)) == 255) {
                colours.insert(plain.pixel(x, y));
            }
        }
    }
    return colours;
}

TEST(ArtworkTest, IconIsLimeLettersOutlinedInNavyOnTransparency) {
    for (int size : kIconFileSizes) {
        SCOPED_TRACE(size);
        const QImage icon = renderProgramIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        ASSERT_TRUE(icon.hasAlphaChannel());
        for (QPoint corner :
             {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)}) {
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0);
        }
        const QSet<QRgb> colours = opaqueColours(icon);
        EXPECT_TRUE(colours.contains(kLime.rgba()));
        EXPECT_TRUE(colours.contains(kNavy.rgba()));
    }
    // The small icon is set pixel by pixel: nothing but the two colours.
    EXPECT_EQ(opaqueColours(renderProgramIcon(16)), (QSet<QRgb>{kLime.rgba(), kNavy.rgba()}));
}

TEST(ArtworkTest, WindowIconCarriesTheSixteenAndThirtyTwoPixelImages) {
    const QList<QSize> sizes = programIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

TEST(ArtworkTest, ModelBitmapIsNavyOnWhiteAtSixtyBySeventeen) {
    const QImage bitmap = renderModelBitmap();
    EXPECT_EQ(bitmap.size(), QSize(60, 17));
    EXPECT_EQ(opaqueColours(bitmap), (QSet<QRgb>{QColor(Qt::white).rgba(), kNavy.rgba()}));
    EXPECT_EQ(bitmapResource(129), bitmap);
    EXPECT_TRUE(bitmapResource(128).isNull());
}

TEST(ArtworkTest, ModelBitmapSitsInADoubleRaisedBorder) {
    BitmapImage image(renderModelBitmap());
    image.resize(image.sizeHint());
    QImage shown(image.size(), QImage::Format_RGB32);
    image.render(&shown);
    // Both edges raised: each of the two rings is lit on its top and left
    // sides and shaded on its bottom and right sides.
    const int w = shown.width();
    const int h = shown.height();
    for (int ring = 0; ring < BitmapImage::kBorder; ++ring) {
        SCOPED_TRACE(ring);
        const int lit[] = {qGray(shown.pixel(ring, h / 2)), qGray(shown.pixel(w / 2, ring))};
        const int shaded[] = {qGray(shown.pixel(w - 1 - ring, h / 2)),
                              qGray(shown.pixel(w / 2, h - 1 - ring))};
        for (int top : lit) {
            for (int bottom : shaded) {
                EXPECT_GT(top, bottom);
            }
        }
    }
    EXPECT_EQ(shown.copy(BitmapImage::kBorder, BitmapImage::kBorder, 60, 17), renderModelBitmap());
}

} // namespace
} // namespace zr70
