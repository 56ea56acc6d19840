#include "app/process_setup.h"
#include "app/settings_profile.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(IgnoreFileSizeLimitSignal, AWriteBeyondTheFileSizeLimitFailsAndTheProgramGoesOn) {
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("zr70.INI"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[zr70]\nxpos=1\n");
    }
    // The program is another process, started under `ulimit -f 0`.
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        ignoreFileSizeLimitSignal();
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        SettingsProfile settings(path);
        ::_exit(settings.write({{"xpos", 5}}) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(program, &status, 0), program);
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write was reported as done";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[zr70]\nxpos=1\n"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
}

} // namespace
} // namespace zr70
