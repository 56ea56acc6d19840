#include "app/termination_signals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

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

TEST(TerminationSignalsTest, EachOfTheThreeReachesTheEventLoopAndAnotherOneWhileClosingToo) {
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    TerminationSignals termination(std::chrono::hours(1));
    std::raise(SIGTERM);
    EXPECT_EQ(receivedNumbers(termination, 1), std::vector<int>{SIGTERM});
    // At logout the session sends SIGHUP right after SIGTERM: the same request.
    std::raise(SIGHUP);
    std::raise(SIGINT);
    EXPECT_EQ(receivedNumbers(termination, 2), (std::vector<int>{SIGHUP, SIGINT}));
}

TEST(TerminationSignalsDeathTest, ALaterRequestEndsTheProcessAtOnce) {
    EXPECT_EXIT(
        {
            TerminationSignals termination(std::chrono::milliseconds(0));
            std::raise(SIGINT);
            std::raise(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

TEST(TerminationSignalsDeathTest, AnIgnoredSignalStaysIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            TerminationSignals termination(std::chrono::milliseconds(0));
            std::raise(SIGHUP);
            std::raise(SIGHUP);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

} // namespace
} // namespace zr70
