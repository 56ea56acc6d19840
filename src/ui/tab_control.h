#pragma once

#include <QWidget>

#include <memory>

class QStyle;
class QTabBar;

namespace zr70 {

/// One row of text tabs over a framed pane. The pages are not managed here:
/// they are plain children that the owner places at a fixed point and shows or
/// hides as the selected tab changes. The tabs are padded more tightly than the
/// widget style would pad them, so the four labels end before the transmit
/// indicator at the right end of the strip.
class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);
    ~TabControl() override;

    QTabBar& tabBar() const { return *bar_; }

    /// Appends a text-only tab; returns its index.
    int addTab(const QString& label);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeTabBar();

    std::unique_ptr<QStyle> tabStyle_;
    QTabBar* bar_;
};

} // namespace zr70
