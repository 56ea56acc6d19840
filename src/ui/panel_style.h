#pragma once

#include <QProxyStyle>

namespace zr70 {

/// The application's widget style with what the panel's layouts ask of it:
///
/// - Tabs padded more tightly than the style pads them, so the four labels
///   end before the transmit indicator at the right end of the strip.
/// - A drop-down list opens as a list below the control, as high as its
///   maximum number of visible entries allows, with a scroll bar for the
///   rest; styles that open it as a menu show every entry instead.
/// - A turn of the mouse wheel over a closed drop-down list changes nothing.
///   Each change of a list goes to the converter, and a wheel turned on its
///   way past the window must not retune it.
class PanelStyle : public QProxyStyle {
    Q_OBJECT
public:
    PanelStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

/// The one panel style of the running application. It belongs to the
/// application object, so it outlives every window that uses it.
QStyle& panelStyle();

} // namespace zr70
