#include "ui/tab_control.h"

#include "ui/panel_style.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace zr70 {

namespace {

/// Where the first tab starts: the selected tab widens by this much to each side.
constexpr int kTabStripIndent = 2;

} // namespace

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
    bar_->setStyle(&panelStyle());
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    bar_->setUsesScrollButtons(false);
    bar_->setElideMode(Qt::ElideNone);
    connect(bar_, &QTabBar::currentChanged, this, [this] { update(); });
    placeTabBar();
}

int TabControl::addTab(const QString& label) {
    const int index = bar_->addTab(label);
    placeTabBar();
    return index;
}

void TabControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeTabBar();
}

void TabControl::placeTabBar() {
    const QSize hint = bar_->sizeHint();
    bar_->setGeometry(kTabStripIndent, 0, qMin(hint.width(), width() - 2 * kTabStripIndent),
                      hint.height());
}

void TabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame pane;
    pane.initFrom(this);
    pane.shape = QTabBar::RoundedNorth;
    pane.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    pane.tabBarSize = bar_->size();
    pane.tabBarRect = bar_->geometry();
    if (bar_->currentIndex() >= 0) {
        pane.selectedTabRect = bar_->tabRect(bar_->currentIndex()).translated(bar_->pos());
    }
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    const int top = bar_->count() > 0 ? bar_->height() - overlap : 0;
    pane.rect = QRect(0, top, width(), height() - top);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &pane, &painter, this);
}

} // namespace zr70
