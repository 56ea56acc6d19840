#include "window_placement.h"

#include <algorithm>
#include <cstdint>

namespace zr70 {

namespace {
constexpr std::int64_t kMinimumVisible = 16;

/// How many pixels of [start, start + length) lie within [low, low + extent);
/// negative when they are apart. Worked out in 64 bits, as a stored position
/// may be anything a 32-bit integer holds.
std::int64_t overlap(std::int64_t start, std::int64_t length, std::int64_t low,
                     std::int64_t extent) {
    return std::min(start + length, low + extent) - std::max(start, low);
}
} // namespace

QPoint startPosition(QPoint stored, QSize clientSize, const QList<QRect>& screens,
                     const QRect& primaryScreen) {
    for (const QRect& screen : screens) {
        const std::int64_t across =
            overlap(stored.x(), clientSize.width(), screen.x(), screen.width());
        const std::int64_t down =
            overlap(stored.y(), clientSize.height(), screen.y(), screen.height());
        if (across >= kMinimumVisible && down >= kMinimumVisible) {
            return stored;
        }
    }
    return primaryScreen.topLeft() + kDefaultClientPosition;
}

} // namespace zr70
