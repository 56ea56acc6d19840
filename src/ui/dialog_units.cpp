#include "ui/dialog_units.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

namespace zr70 {

QFont dialogFont() {
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits DialogUnits::of(const QFont& font) {
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetricsF metrics(font);
    return DialogUnits(metrics.horizontalAdvance(letters) / letters.size(), metrics.height());
}

int DialogUnits::toPixelsX(int units) const {
    return static_cast<int>(std::lround(units * baseX_ / 4.0));
}

int DialogUnits::toPixelsY(int units) const {
    return static_cast<int>(std::lround(units * baseY_ / 8.0));
}

QRect DialogUnits::toPixels(const DialogRect& rect) const {
    const int left = toPixelsX(rect.x);
    const int top = toPixelsY(rect.y);
    const int right = toPixelsX(rect.x + rect.width);
    const int bottom = toPixelsY(rect.y + rect.height);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace zr70
