#pragma once

#include <QFont>
#include <QRect>

namespace zr70 {

/// The font every window of the panel is laid out in: the system sans font at
/// 8 points.
QFont dialogFont();

/// A rectangle in dialog units: x, y, width, height from the top left corner of
/// the owning window's client area.
struct DialogRect {
    int x;
    int y;
    int width;
    int height;
    friend bool operator==(const DialogRect&, const DialogRect&) = default;
};

/// Converts dialog units to pixels through the dialog font's metrics: one
/// horizontal unit is a quarter of the average character width, one vertical
/// unit an eighth of the character height.
class DialogUnits {
public:
    /// Base units measured on `font`: the average width of the 52 Latin letters
    /// and the font's line height, both in (fractional) pixels.
    static DialogUnits of(const QFont& font);
    DialogUnits(double baseX, double baseY) : baseX_(baseX), baseY_(baseY) {}

    double baseX() const { return baseX_; }
    double baseY() const { return baseY_; }

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;

    /// Each edge is converted on its own, as dialog units always are, so two
    /// rectangles that touch in dialog units also touch in pixels.
    QRect toPixels(const DialogRect& rect) const;

private:
    double baseX_;
    double baseY_;
};

} // namespace zr70
