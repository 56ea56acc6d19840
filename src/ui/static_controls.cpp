#include "ui/static_controls.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace zr70 {

FilledRectangle::FilledRectangle(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void FilledRectangle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
}

BitmapImage::BitmapImage(QImage image, QWidget* parent)
    : QWidget(parent), image_(std::move(image)) {
    setFocusPolicy(Qt::NoFocus);
}

QSize BitmapImage::sizeHint() const {
    // The image is drawn in its own pixels, so its logical size shrinks when it
    // carries a device pixel ratio.
    return image_.deviceIndependentSize().toSize() + QSize(2 * kBorder, 2 * kBorder);
}

void BitmapImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    // A double raised border: both rings lit above and left, shaded below and right.
    qDrawShadePanel(&painter, outer, palette(), false, 1);
    qDrawShadePanel(&painter, outer.adjusted(1, 1, -1, -1), palette(), false, 1);
    painter.drawImage(QPoint(kBorder, kBorder), image_);
}

} // namespace zr70
