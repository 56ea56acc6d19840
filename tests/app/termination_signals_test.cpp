#include "app/settings_profile.h"
#include "app/termination_signals.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <csignal>
#include <vector>

namespace zr70 {
namespace {

/// The signals `termination` reports while the event loop runs, up to `count` of
/// them or a generous deadline.
std::vector<int> receivedNumbers(TerminationSignals& termination, std::size_t count) {
    std::vector<int> numbers;
    QEventLoop loop;
    QObject::connect(&termination, &TerminationSignals::received, &loop, [&](int number) {
        numbers.push_back(number);
        if (numbers.size() == count) {
            loop.quit();
        }
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return numbers;
}

TEST(TerminationSignalsTest, EveryRequestToEndReachesTheEventLoopAlsoOneThatCameBefore) {
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    catchSignals(std::chrono::hours(1));
    // Before the event loop or the object exist, as while the program starts.
    std::raise(SIGTERM);
    TerminationSignals termination;
    EXPECT_EQ(receivedNumbers(termination, 1), std::vector<int>{SIGTERM});
    EXPECT_EQ(TerminationSignals::firstRequest(), SIGTERM);
    // At logout the session sends SIGHUP right after SIGTERM: the same request.
    const std::vector<int> others{SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};
    for (const int number : others) {
        std::raise(number);
    }
    EXPECT_EQ(receivedNumbers(termination, others.size()), others);
}

TEST(TerminationSignalsDeathTest, ALaterRequestEndsTheProcessAtOnce) {
    EXPECT_EXIT(
        {
            catchSignals(std::chrono::milliseconds(0));
            std::raise(SIGINT);
            std::raise(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

TEST(TerminationSignalsDeathTest, AnIgnoredSignalStaysIgnoredAndAClosedPipeEndsNothing) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            catchSignals(std::chrono::milliseconds(0));
            std::raise(SIGHUP);
            std::raise(SIGHUP);
            std::raise(SIGPIPE);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

TEST(TerminationSignalsDeathTest, AWriteBeyondTheFileSizeLimitFailsAndTheProgramGoesOn) {
    testing::TestFolder folder;
    ASSERT_TRUE(folder.write("zr70.INI", "[zr70]\nxpos=1\n"));
    // The program, started under `ulimit -f 0`.
    EXPECT_EXIT(
        {
            catchSignals();
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 0;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::_Exit(SettingsProfile(FileName(folder.path("zr70.INI"))).write({{"xpos", 5}}) ? 1
                                                                                               : 0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(folder.read("zr70.INI"), QByteArray("[zr70]\nxpos=1\n"));
    EXPECT_FALSE(folder.exists("zr70.INI.lock"));
}

} // namespace
} // namespace zr70
