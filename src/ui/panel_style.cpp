#include "ui/panel_style.h"

#include <QApplication>

namespace zr70 {

namespace {

/// Horizontal and vertical room around a tab's label, in pixels: six on each
/// side and four above and below, the padding the layout was drawn with.
constexpr int kTabHorizontalSpace = 12;
constexpr int kTabVerticalSpace = 8;

} // namespace

PanelStyle::PanelStyle() : QProxyStyle(QApplication::style()->name()) {}

int PanelStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    switch (metric) {
    case PM_TabBarTabHSpace:
        return kTabHorizontalSpace;
    case PM_TabBarTabVSpace:
        return kTabVerticalSpace;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int PanelStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    switch (hint) {
    case SH_ComboBox_Popup:
    case SH_ComboBox_AllowWheelScrolling:
        return 0;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

QStyle& panelStyle() {
    auto* style = qApp->findChild<PanelStyle*>(QString(), Qt::FindDirectChildrenOnly);
    if (style == nullptr) {
        style = new PanelStyle;
        style->setParent(qApp);
    }
    return *style;
}

} // namespace zr70
