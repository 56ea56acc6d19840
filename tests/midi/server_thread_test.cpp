#include "midi/server_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace zr70 {
namespace {

using namespace std::chrono_literals;

/// A server that can be stopped: while it is, a job that passes it waits.
struct Server {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;

    void pass() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !stopped; });
    }
    void stop() {
        const std::lock_guard lock(mutex);
        stopped = true;
    }
    void resume() {
        const std::lock_guard lock(mutex);
        stopped = false;
        changed.notify_all();
    }
};

struct ServerThreadTest : ::testing::Test {
    ~ServerThreadTest() override {
        // A thread that was left behind ends once the server resumes.
        server->resume();
    }

    std::shared_ptr<Server> server = std::make_shared<Server>();
    std::shared_ptr<std::atomic<int>> caughtUp = std::make_shared<std::atomic<int>>(0);
    // Long enough that a job that does not wait on the stopped server never
    // times out, even on a loaded machine.
    ServerThread thread{[caughtUp = caughtUp] { ++*caughtUp; }, 1s};
};

TEST_F(ServerThreadTest, AJobThatAnswersTooLateFailsTheRestAtOnceUntilTheThreadCaughtUp) {
    EXPECT_TRUE(thread.run([] {}));
    server->stop();
    auto late = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(thread.run([server = server, late] {
        server->pass();
        *late = true;
    }));
    EXPECT_TRUE(thread.stuck());
    EXPECT_EQ(thread.start([] {}), nullptr);
    EXPECT_FALSE(thread.run([] {}));

    server->resume();
    while (thread.stuck()) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(*late);
    EXPECT_EQ(*caughtUp, 1);
    EXPECT_TRUE(thread.run([] {}));
}

TEST_F(ServerThreadTest, OnceAJobTimedOutNoJobIsWaitedForAgainUntilTheThreadCaughtUp) {
    // A job started ahead sits behind one that the server holds up.
    server->stop();
    const auto held = thread.start([server = server] { server->pass(); });
    const auto ahead = thread.start([] {});
    EXPECT_FALSE(thread.wait(held));
    // The server resumes while the next wait would be waiting: one that still
    // waited would see the job done well within its time-out.
    std::thread resume([server = server] {
        std::this_thread::sleep_for(50ms);
        server->resume();
    });
    EXPECT_FALSE(thread.wait(ahead));
    resume.join();
}

TEST_F(ServerThreadTest, AWaitGoesOnForAsLongAsTheServerIsWorthWaitingFor) {
    server->stop();
    const auto held = thread.start([server = server] { server->pass(); });
    // A server that is slow, not stopped: it answers during the second time-out.
    int asked = 0;
    EXPECT_TRUE(thread.wait(held, [&] {
        if (++asked == 1) {
            server->resume();
        }
        return true;
    }));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(thread.stuck());
}

TEST_F(ServerThreadTest, AnEndThatTheServerHoldsUpLeavesTheThreadBehind) {
    server->stop();
    EXPECT_FALSE(thread.run([server = server] { server->pass(); }));
    auto ran = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(thread.finish([ran] { *ran = true; }));
    EXPECT_FALSE(*ran);

    ServerThread answering;
    EXPECT_TRUE(answering.finish([ran] { *ran = true; }));
    EXPECT_TRUE(*ran);
}

} // namespace
} // namespace zr70
