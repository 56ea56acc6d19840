#include "app/process_setup.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace zr70 {
namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char*, const char*>> set) {
    QProcessEnvironment result; // empty
    for (const auto& [name, value] : set) {
        result.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    }
    return result;
}

TEST(StartsOnX11, AWaylandSessionWithXWaylandAndNoPlatformChosenRunsOnX11) {
    EXPECT_TRUE(startsOnX11(environment({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}})));
    EXPECT_TRUE(startsOnX11(environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}})));
    EXPECT_TRUE(startsOnX11(environment(
        {{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", ""}})));
}

TEST(StartsOnX11, AnyOtherSessionOrAPlatformTheUserChoseIsLeftAlone) {
    // No X11 beside Wayland.
    EXPECT_FALSE(startsOnX11(environment({{"XDG_SESSION_TYPE", "wayland"}})));
    EXPECT_FALSE(startsOnX11(environment({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ""}})));
    // The user's choice stands.
    EXPECT_FALSE(startsOnX11(environment(
        {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}})));
    // X11, a console, or nothing at all.
    EXPECT_FALSE(startsOnX11(environment({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}})));
    EXPECT_FALSE(startsOnX11(environment({{"XDG_SESSION_TYPE", "tty"}})));
    EXPECT_FALSE(startsOnX11(environment({})));
}

} // namespace
} // namespace zr70
