#include "midi/bounded_midi_host.h"
#include "support/shell_fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace zr70 {
namespace {

using namespace std::chrono_literals;
using testing::FakeMidiHost;

// Long enough that an operation that does not wait on the stopped server
// never times out, even on a loaded machine.
constexpr auto kTimeout = 1s;
constexpr int kNotAnswering = BoundedMidiHost::kNotAnswering;

/// A server that can be stopped: while it is, every host call waits.
struct Server {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;
    int hosts = 0;
    FakeMidiHost fake; ///< what the wrapped host did, read once it answers again

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

/// The fake host behind a server that can be stopped.
class ServerHost : public MidiHost {
public:
    explicit ServerHost(std::shared_ptr<Server> server) : server_(std::move(server)) {
        const std::lock_guard lock(server_->mutex);
        ++server_->hosts;
    }
    ~ServerHost() override {
        server_->pass();
        const std::lock_guard lock(server_->mutex);
        --server_->hosts;
        server_->changed.notify_all();
    }
    /// Every call waits while the server is stopped.
    template <typename Call> auto through(const Call& call) {
        server_->pass();
        return call(server_->fake);
    }
    int deviceCount() override {
        return through([](MidiHost& fake) { return fake.deviceCount(); });
    }
    int describeDevice(int index, std::string& name) override {
        return through([&](MidiHost& fake) { return fake.describeDevice(index, name); });
    }
    HostResult openDevice(int index) override {
        return through([&](MidiHost& fake) { return fake.openDevice(index); });
    }
    HostResult sendLongMessage(std::span<const std::uint8_t> message) override {
        return through([&](MidiHost& fake) { return fake.sendLongMessage(message); });
    }
    HostResult closeDevice() override {
        return through([](MidiHost& fake) { return fake.closeDevice(); });
    }

private:
    std::shared_ptr<Server> server_;
};

class BoundedMidiHostTest : public ::testing::Test {
protected:
    BoundedMidiHostTest() { server->fake.devices = {"JACK: a:in", "JACK: b:in"}; }

    ~BoundedMidiHostTest() override {
        // The thread may have been left behind: it ends before the server does.
        server->resume();
        host.reset();
        std::unique_lock lock(server->mutex);
        server->changed.wait(lock, [&] { return server->hosts == 0; });
    }

    /// Waits until the host answers again after the server resumed.
    void waitUntilAnswering() {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (host->deviceCount() == 0) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline);
            std::this_thread::sleep_for(1ms);
        }
    }

    std::shared_ptr<Server> server = std::make_shared<Server>();
    std::unique_ptr<BoundedMidiHost> host = std::make_unique<BoundedMidiHost>(
        [server = server] { return std::make_unique<ServerHost>(server); },
        "The JACK server does not answer.", kTimeout);
};

TEST_F(BoundedMidiHostTest, AStoppedServerAtStartLeavesTheListEmptyAndFailsTheRestAtOnce) {
    host.reset();
    server->stop(); // before the host is created: the creation waits
    host = std::make_unique<BoundedMidiHost>(
        [server = server] {
            server->pass();
            return std::make_unique<ServerHost>(server);
        },
        "The JACK server does not answer.", kTimeout);
    EXPECT_EQ(host->deviceCount(), 0);
    std::string name = "kept";
    EXPECT_EQ(host->describeDevice(0, name), kNotAnswering);
    EXPECT_EQ(name, "kept");
    const HostResult open = host->openDevice(0);
    EXPECT_EQ(open.code, kNotAnswering);
    EXPECT_EQ(open.text, "The JACK server does not answer.");
    // Nothing can be waited for at the end either: the thread is left behind.
    EXPECT_FALSE(host->finish());
    EXPECT_TRUE(server->fake.calls.empty());
}

TEST_F(BoundedMidiHostTest, AnOpenThatAnswersTooLateIsClosedAndTheHostAnswersAgain) {
    ASSERT_EQ(host->deviceCount(), 2);
    std::string name;
    EXPECT_EQ(host->describeDevice(1, name), 0);
    EXPECT_EQ(name, "JACK: b:in");
    server->stop();
    EXPECT_EQ(host->openDevice(1).code, kNotAnswering);
    // While the open waits, nothing more reaches the host.
    EXPECT_EQ(host->sendLongMessage(std::vector<std::uint8_t>{0xF0, 0xF7}).code, kNotAnswering);
    EXPECT_EQ(host->closeDevice().code, kNotAnswering);
    server->resume();
    waitUntilAnswering();
    EXPECT_EQ(server->fake.calls, (std::vector<std::string>{"open 1", "close"}));
    EXPECT_TRUE(host->openDevice(0).ok());
    server->fake.closeResult = 7;
    EXPECT_EQ(host->closeDevice().text, "host error 7");
    EXPECT_TRUE(host->finish());
}

TEST_F(BoundedMidiHostTest, ADeviceTheCallerClosedWhileTheServerWaitedIsClosedLater) {
    ASSERT_TRUE(host->openDevice(0).ok());
    server->stop();
    EXPECT_EQ(host->sendLongMessage(std::vector<std::uint8_t>{0xF0, 0xF7}).code, kNotAnswering);
    EXPECT_EQ(host->closeDevice().code, kNotAnswering);
    server->resume();
    waitUntilAnswering();
    EXPECT_EQ(server->fake.calls, (std::vector<std::string>{"open 0", "send", "close"}));
}

TEST_F(BoundedMidiHostTest, AnOutputOpenedAheadIsTakenByItsOpenAndClosedForAnyOtherUse) {
    const std::vector<std::uint8_t> message{0xF0, 0xF7};
    host->openAhead("JACK: b:in");
    EXPECT_TRUE(host->openDevice(1).ok());
    EXPECT_TRUE(host->sendLongMessage(message).ok());
    EXPECT_TRUE(host->closeDevice().ok());
    EXPECT_EQ(server->fake.calls, (std::vector<std::string>{"open 1", "send", "close"}));

    server->fake.calls.clear();
    host->openAhead("JACK: b:in");
    EXPECT_TRUE(host->openDevice(0).ok());
    EXPECT_TRUE(host->closeDevice().ok());
    host->openAhead("JACK: a:in");
    host->sendLongMessage(message); // the caller has opened nothing
    host->openAhead("JACK: gone:in");
    EXPECT_TRUE(host->openDevice(0).ok());
    EXPECT_EQ(server->fake.calls, (std::vector<std::string>{"open 1", "close", "open 0", "close",
                                                            "open 0", "close", "send", "open 0"}));
}

TEST_F(BoundedMidiHostTest, AnEndThatTimesOutLeavesTheThreadBehind) {
    ASSERT_TRUE(host->openDevice(0).ok());
    server->stop();
    EXPECT_FALSE(host->finish());
}

} // namespace
} // namespace zr70
