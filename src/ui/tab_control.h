#pragma once

#include <QWidget>

class QTabBar;

namespace zr70 {

/// One row of text tabs over a framed pane. The pages are not managed here:
/// they are plain children that the owner places at a fixed point and shows or
/// hides as the selected tab changes. The tabs take the panel's style, which
/// pads them tightly enough for the four labels to end before the transmit
/// indicator at the right end of the strip.
class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);

    QTabBar& tabBar() const { return *bar_; }

    /// Appends a text-only tab; returns its index.
    int addTab(const QString& label);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeTabBar();

    QTabBar* bar_;
};

} // namespace zr70
