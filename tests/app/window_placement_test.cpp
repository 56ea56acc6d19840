#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <limits>

namespace zr70 {
namespace {

const QSize kWindow{370, 144};
const QRect kLeft{0, 0, 1920, 1080};
const QRect kRight{1920, 0, 1280, 1024};

TEST(StartPosition, KeepsAStoredPointOnAnyScreenNegativeValuesIncluded) {
    EXPECT_EQ(startPosition({20, 40}, kWindow, {kLeft}, kLeft), QPoint(20, 40));
    EXPECT_EQ(startPosition({-10, -5}, kWindow, {kLeft}, kLeft), QPoint(-10, -5));
    EXPECT_EQ(startPosition({2500, 300}, kWindow, {kLeft, kRight}, kLeft), QPoint(2500, 300));
    // Only a corner shows, but that is enough to grab the window.
    EXPECT_EQ(startPosition({-350, -120}, kWindow, {kLeft}, kLeft), QPoint(-350, -120));
}

TEST(StartPosition, BringsAWindowOffEveryScreenBackToThePrimaryScreen) {
    // The right-hand monitor is gone.
    EXPECT_EQ(startPosition({2500, 300}, kWindow, {kLeft}, kLeft), QPoint(20, 40));
    EXPECT_EQ(startPosition({-400, 40}, kWindow, {kLeft}, kLeft), QPoint(20, 40));
    // A sliver of a few pixels counts as lost.
    EXPECT_EQ(startPosition({1910, 40}, kWindow, {kLeft}, kLeft), QPoint(20, 40));
    const QRect primaryOnTheRight{1920, 0, 1280, 1024};
    EXPECT_EQ(startPosition({-5000, -5000}, kWindow, {kLeft, primaryOnTheRight}, primaryOnTheRight),
              QPoint(1940, 40));
    EXPECT_EQ(startPosition({20, 40}, kWindow, {}, kLeft), QPoint(20, 40));
}

TEST(StartPosition, StoredPointsNearTheIntegerLimitsComeBackAtTheDefaultPoint) {
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    for (const QPoint stored :
         {QPoint(2147483280, 2147483505), QPoint(kMin, kMin), QPoint(kMax, kMax),
          QPoint(kMax - 200, 40), QPoint(20, kMin), QPoint(kMin, kMax)}) {
        EXPECT_EQ(startPosition(stored, kWindow, {kLeft}, kLeft), QPoint(20, 40))
            << stored.x() << ", " << stored.y();
    }
}

} // namespace
} // namespace zr70
