#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace zr70 {

/// Where the main window's client area lies when nothing was stored yet.
inline constexpr QPoint kDefaultClientPosition{20, 40};

/// The start position of the main window's client area: the stored point, as
/// long as at least a corner of the window (16 x 16 pixels) would show on some
/// screen. A window that would lie off every screen (a monitor was unplugged,
/// the resolution dropped) comes up at the default point of the primary screen
/// instead, so the user never loses it.
QPoint startPosition(QPoint stored, QSize clientSize, const QList<QRect>& screens,
                     const QRect& primaryScreen);

} // namespace zr70
