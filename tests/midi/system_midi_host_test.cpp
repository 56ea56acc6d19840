// The system's MIDI host against real outputs: a JACK server of the test's own in
// dummy mode and jack_midi_dump as the receiver. Nothing is faked here.

#include "converter/parameter_set.h"
#include "midi/midi_output_port.h"
#include "midi/system_midi_host.h"
#include "midi/test_server.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace zr70 {
namespace {

using testing::Bytes;
using testing::TestServer;
using testing::waitFor;

const MessageBytes kSent = messageFor(2, 1);
const Bytes kMessage(kSent.begin(), kSent.end());

/// Runs `body`; when it has not returned after `limit`, the process ends with
/// a message instead of hanging (the children die with it).
template <typename Body> void mustNotHang(const char* what, Body body) {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done.load()) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::fprintf(stderr, "hung: %s\n", what);
                std::_Exit(1);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    body();
    done = true;
    watchdog.join();
}

/// A receiver's client name of this test process alone ("dump" and the pid):
/// libjack names a client's socket after the client, not the server, so a
/// client of the same name that other tests on the machine open on their own
/// servers could take it.
std::string receiverName(const std::string& base) {
    return base + std::to_string(::getpid());
}

int outputNamed(MidiHost& host, const std::string& wanted) {
    const std::vector<std::string> names = host.outputs().names;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (names[index] == wanted) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

/// The fifteen messages of a send-all with the default selections.
std::vector<Bytes> expectedSendAll() {
    std::vector<Bytes> messages;
    for (const MessageBytes& message : sendAllMessages(ParameterSet::defaults())) {
        messages.emplace_back(message.begin(), message.end());
    }
    return messages;
}

/// Hands every message of a send-all to `host`; the number it refused.
int sendAll(MidiHost& host) {
    int refused = 0;
    for (const MessageBytes& message : sendAllMessages(ParameterSet::defaults())) {
        refused += host.send(message).ok() ? 0 : 1;
    }
    return refused;
}

/// What `body` prints to the standard error stream, from any library.
template <typename Body> std::string printedToStderr(Body body) {
    std::fflush(stderr);
    char path[] = "/tmp/zr70stderrXXXXXX";
    const int captured = ::mkstemp(path);
    if (captured < 0) {
        ADD_FAILURE() << "no temporary file for the standard error stream";
        return {};
    }
    const int saved = ::dup(2);
    ::dup2(captured, 2);
    body();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::FILE* file = std::fopen(path, "r");
    std::string printed;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        printed += static_cast<char>(c);
    }
    std::fclose(file);
    ::close(captured);
    ::unlink(path);
    return printed;
}

/// Selects a JACK server name that nobody runs.
std::string selectServerNobodyRuns(const std::string& prefix) {
    const std::string name = prefix + std::to_string(::getpid());
    ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    return name;
}

TEST(SystemMidiHostWithoutServer, OffersNoJackOutputAndPrintsNothing) {
    // The ALSA sequencer may or may not be there.
    selectServerNobodyRuns("zr70none");
    OutputList listed;
    const std::string printed = printedToStderr([&] {
        SystemMidiHost host;
        listed = host.outputs();
        const int count = static_cast<int>(listed.names.size());
        // Numbers the list does not have never reach a MIDI system, and the
        // text names the number as it was given.
        for (int index : {-1, count, count + 1, 1000}) {
            const MidiResult opened = host.open(index);
            EXPECT_EQ(opened.error, MidiError::NoSuchOutput) << index;
            EXPECT_EQ(opened.text,
                      "There is no MIDI output device number " + std::to_string(index) + ".");
        }
        EXPECT_EQ(host.send(kMessage).error, MidiError::NotOpen);
        EXPECT_FALSE(host.close().ok());
        EXPECT_TRUE(host.finish());
    });
    EXPECT_EQ(printed, "");
    EXPECT_TRUE(listed.problem.ok());
    for (const std::string& name : listed.names) {
        EXPECT_TRUE(name.starts_with("ALSA: ")) << name;
    }
}

TEST(SystemMidiHostWithoutServer, SocketOfAKilledServerMakesNoOutputAndNoNoise) {
    // A killed server leaves its socket behind, which makes a failed open
    // look like one worth trying again.
    const std::string server = selectServerNobodyRuns("zr70dead");
    const std::string socket = "/dev/shm/jack_" + server + "_" + std::to_string(::getuid()) + "_0";
    std::FILE* left = std::fopen(socket.c_str(), "w");
    ASSERT_NE(left, nullptr);
    std::fclose(left);
    std::vector<std::string> names;
    const std::string printed = printedToStderr([&] { names = SystemMidiHost().outputs().names; });
    ::unlink(socket.c_str());
    EXPECT_EQ(printed, "");
    for (const std::string& name : names) {
        EXPECT_TRUE(name.starts_with("ALSA: ")) << name;
    }
}

class SystemMidiHostOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = TestServer::missingTools();
        if (!missing.empty()) {
            GTEST_SKIP() << missing;
        }
        jack = std::make_unique<TestServer>();
        ASSERT_TRUE(jack->startServer()) << "the dummy JACK server did not come up";
    }
    void TearDown() override { jack.reset(); }

    /// The receiver's messages once `count` have arrived (or after 10 s); a
    /// failure of its own when it says that it lost some itself.
    std::vector<Bytes> received(const std::string& dump, std::size_t count) {
        waitFor([&] { return testing::readDump(dump).size() >= count; });
        const testing::ReceiverErrors errors = testing::receiverErrors(dump);
        if (!errors.text.empty()) {
            std::printf("the receiver's standard error:\n%s", errors.text.c_str());
        }
        EXPECT_FALSE(errors.lostMessages) << "the receiver lost messages itself";
        return testing::readDump(dump);
    }

    std::unique_ptr<TestServer> jack;
};

/// What only a JACK server (jackd, PipeWire) does: it can stop and be killed.
class SystemMidiHostOnJack : public SystemMidiHostOnServer {};

TEST_F(SystemMidiHostOnServer, SendAllArrivesIntactAndSendsFailOnceReceiverAndServerHaveGone) {
    const std::string dump = jack->path("dump.txt");
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, dump));

    SystemMidiHost host;
    MidiOutputPort port(host);
    const int receiver = outputNamed(host, TestServer::outputName(client));
    ASSERT_GE(receiver, 0) << "the receiver's port is not in the list";
    // A number past the list is named as it was given, whatever outputs of
    // another system come before it.
    const int past = static_cast<int>(port.list().names.size()) + 5;
    EXPECT_EQ(host.open(past).text,
              "There is no MIDI output device number " + std::to_string(past) + ".");
    const MidiResult opened = port.startOn(receiver);
    ASSERT_TRUE(opened.ok()) << opened.text;

    EXPECT_EQ(sendAll(host), 0) << "a send of the send-all failed";
    const Delivery delivery = host.flush();
    EXPECT_TRUE(delivery.result.ok()) << delivery.result.text;
    EXPECT_EQ(delivery.left, 15u);
    EXPECT_EQ(received(dump, 15), expectedSendAll());

    // The receiver goes: the connection (on the sequencer the port) is gone,
    // and sends say so.
    jack->stopReceiver(0);
    EXPECT_TRUE(waitFor([&] { return !host.send(kMessage).ok(); }));
    const MidiResult refused = host.send(kMessage);
    EXPECT_EQ(refused.error,
              TestServer::onAlsa() ? MidiError::OutputGone : MidiError::ConnectionGone);
    EXPECT_NE(refused.text.find(client), std::string::npos) << refused.text;
    EXPECT_GT(sendAll(host), 0);
    if (TestServer::onAlsa()) {
        return; // the sequencer is the kernel's: it does not go
    }

    // Then the server goes: sends keep failing at once, far more of them than
    // a buffer could hold.
    jack->stopServer();
    mustNotHang("sending after the JACK server stopped", [&] {
        int failed = 0;
        for (int i = 0; i < 5000; ++i) {
            failed += host.send(kMessage).ok() ? 0 : 1;
        }
        EXPECT_EQ(failed, 5000);
        EXPECT_NE(port.shutDown().error, MidiError::CloseFailed);
    });
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SystemMidiHostOnJack, MessagesThatDidNotLeaveAreNeverReportedAsSent) {
    const std::string dump = jack->path("dump.txt");
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, dump));
    SystemMidiHost host;
    ASSERT_TRUE(host.open(outputNamed(host, TestServer::outputName(client))).ok());
    // The server stops right after the open.
    jack->pauseServer();
    int refused = 0;
    Delivery delivery;
    mustNotHang("a flush against a stopped JACK server", [&] {
        refused = sendAll(host);
        delivery = host.flush();
        EXPECT_FALSE(host.close().ok());
        // Once it is known not to answer, nothing waits on it.
        EXPECT_EQ(host.open(0).error, MidiError::NotAnswering);
    });
    jack->resumeServer();
    // A cycle that had begun before the server stopped may still carry some
    // or all of them when the machine is loaded: what the flush counts as
    // gone is what arrives, and only all of them make a success.
    const std::vector<Bytes> all = expectedSendAll();
    EXPECT_EQ(delivery.result.ok(), refused == 0 && delivery.left == all.size());
    EXPECT_EQ(received(dump, delivery.left),
              std::vector<Bytes>(all.begin(), all.begin() + delivery.left));
}

TEST_F(SystemMidiHostOnJack, KilledServerFailsSendsInsteadOfFillingTheBuffer) {
    const std::string dump = jack->path("dump.txt");
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, dump));
    SystemMidiHost host;
    ASSERT_TRUE(host.open(outputNamed(host, TestServer::outputName(client))).ok());
    ASSERT_TRUE(host.send(kMessage).ok());
    EXPECT_EQ(received(dump, 1), std::vector<Bytes>{kMessage});

    // No goodbye from the server this time, and the receiver stays up.
    jack->stopServer(SIGKILL);
    mustNotHang("sending after the JACK server was killed", [&] {
        EXPECT_TRUE(waitFor([&] { return !host.send(kMessage).ok(); }));
        int failed = 0;
        for (int i = 0; i < 5000; ++i) {
            failed += host.send(kMessage).ok() ? 0 : 1;
        }
        EXPECT_EQ(failed, 5000);
        EXPECT_FALSE(host.flush().result.ok());
        host.close();
        EXPECT_FALSE(host.open(0).ok());
    });
}

TEST_F(SystemMidiHostOnServer, OutputIsFoundAgainByNameWhenThePortsHaveChanged) {
    const std::string first = jack->path("first.txt");
    const std::string second = jack->path("second.txt");
    const std::string firstPort = receiverName("first") + ":input";
    ASSERT_TRUE(jack->startReceiver(receiverName("first"), first));
    ASSERT_TRUE(jack->startReceiver(receiverName("second"), second));
    SystemMidiHost host;
    const int firstOutput = outputNamed(host, TestServer::outputName(receiverName("first")));
    const int secondOutput = outputNamed(host, TestServer::outputName(receiverName("second")));
    ASSERT_GE(firstOutput, 0);
    ASSERT_GE(secondOutput, 0);

    // The list stays as it was while the server's ports change.
    jack->stopReceiver(0);
    ASSERT_TRUE(waitFor([&] { return !jack->hasPort(firstPort); }));
    const MidiResult gone = host.open(firstOutput);
    EXPECT_EQ(gone.error, MidiError::OutputGone);
    EXPECT_NE(gone.text.find(firstPort), std::string::npos);

    const MidiResult opened = host.open(secondOutput);
    ASSERT_TRUE(opened.ok()) << opened.text;
    EXPECT_EQ(host.open(secondOutput).error, MidiError::AlreadyOpen);
    ASSERT_TRUE(host.send(kMessage).ok());
    EXPECT_TRUE(host.close().ok());
    EXPECT_EQ(received(second, 1), std::vector<Bytes>{kMessage});

    // Closed and opened again, the same output works again.
    ASSERT_TRUE(host.open(secondOutput).ok());
    ASSERT_TRUE(host.send(kMessage).ok());
    EXPECT_EQ(received(second, 2), (std::vector<Bytes>{kMessage, kMessage}));
    EXPECT_TRUE(host.close().ok());

    // A receiver that comes back (on the sequencer under a new client
    // number) is found again by its name.
    const std::string again = jack->path("again.txt");
    ASSERT_TRUE(jack->startReceiver(receiverName("first"), again));
    const MidiResult back = host.open(firstOutput);
    ASSERT_TRUE(back.ok()) << back.text;
    ASSERT_TRUE(host.send(kMessage).ok());
    EXPECT_EQ(received(again, 1), std::vector<Bytes>{kMessage});
}

TEST_F(SystemMidiHostOnJack, JackOutputsAreListedWhileAnotherServerHasClientsOfOurNames) {
    // JACK names the socket on which a client hears from its server after the
    // client alone, not after the server: clients of one name that open at the
    // same moment on two servers of the machine can take each other's socket.
    // Each host lists and closes at once, as `zr70 --list-outputs` does: a
    // client that closed before its first cycle left jackd waiting for good.
    if (TestServer::onPipeWire()) {
        GTEST_SKIP() << "jackd's libjack only: PipeWire's keeps each instance's sockets in "
                        "its own runtime folder, and a process selects one instance at a time";
    }
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, jack->path("dump.txt")));
    TestServer other; // the programs of the other server find it by name
    ASSERT_TRUE(other.startServer()) << "the second dummy JACK server did not come up";
    // Another panel's client, as another process would name it.
    testing::ChildProcess churn(ZR70_JACK_NAME_CHURN,
                                {"zr70", "zr70-" + std::to_string(::getpid() + 1)}, "/dev/null");
    ASSERT_TRUE(churn.started());
    ::setenv("JACK_DEFAULT_SERVER", jack->name().c_str(), 1);

    int without = 0;
    for (int run = 0; run < 40; ++run) {
        SystemMidiHost host;
        without += outputNamed(host, TestServer::outputName(client)) < 0 ? 1 : 0;
    }
    churn.stop(SIGTERM);
    EXPECT_EQ(without, 0) << "hosts without the receiver's port among 40";
}

} // namespace
} // namespace zr70
