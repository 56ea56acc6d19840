#include "window_placement.h"

namespace zr70 {

namespace {
constexpr int kMinimumVisible = 16;
}

QPoint startPosition(QPoint stored, QSize clientSize, const QList<QRect>& screens,
                     const QRect& primaryScreen) {
    const QRect window(stored, clientSize);
    for (const QRect& screen : screens) {
        const QRect shown = window.intersected(screen);
        if (shown.width() >= kMinimumVisible && shown.height() >= kMinimumVisible) {
            return stored;
        }
    }
    return primaryScreen.topLeft() + kDefaultClientPosition;
}

} // namespace zr70
