#pragma once

#include <QImage>
#include <QWidget>

namespace zr70 {

/// A rectangle filled with the window-frame colour (black in the usual light
/// colour scheme). The transmit indicator is one.
class FilledRectangle : public QWidget {
    Q_OBJECT
public:
    explicit FilledRectangle(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// A bitmap drawn at its own pixel size inside a double raised border; the
/// control takes the size of the two together.
class BitmapImage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorder = 2;

    explicit BitmapImage(QImage image, QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

} // namespace zr70
