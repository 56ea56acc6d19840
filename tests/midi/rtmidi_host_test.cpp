// The RtMidi host against real outputs: a JACK server of the test's own in
// dummy mode and jack_midi_dump as the receiver. Nothing is faked here.

#include "converter/parameter_set.h"
#include "midi/dummy_jack.h"
#include "midi/midi_output_port.h"
#include "midi/rtmidi_host.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace zr70 {
namespace {

using testing::Bytes;
using testing::DummyJack;
using testing::waitFor;

const Bytes kMessage{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7};

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

int deviceNamed(MidiHost& host, const std::string& wanted) {
    for (int index = 0; index < host.deviceCount(); ++index) {
        std::string name;
        if (host.describeDevice(index, name) == 0 && name == wanted) {
            return index;
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

/// Hands every message of a send-all to `port`; the number it refused.
int sendAll(MidiOutputPort& port) {
    int refused = 0;
    for (const MessageBytes& message : sendAllMessages(ParameterSet::defaults())) {
        refused += port.send(message) != 0 ? 1 : 0;
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

TEST(RtMidiHostWithoutServer, OffersNoJackDeviceAndPrintsNothing) {
    // The ALSA sequencer may or may not be there.
    selectServerNobodyRuns("zr70none");
    std::vector<std::string> names;
    const std::string printed = printedToStderr([&] {
        RtMidiHost host;
        const int count = host.deviceCount();
        for (int index = 0; index < count; ++index) {
            std::string name;
            host.describeDevice(index, name);
            names.push_back(name);
        }
        // Indexes the list does not have never reach RtMidi.
        for (int index : {-1, count, count + 1, 1000}) {
            const HostResult opened = host.openDevice(index);
            EXPECT_EQ(opened.code, RtMidiHost::kNoSuchDevice) << index;
            EXPECT_FALSE(opened.text.empty());
            EXPECT_LE(opened.text.size(), kMaxErrorTextLength);
        }
        EXPECT_EQ(host.sendLongMessage(kMessage).code, RtMidiHost::kNotOpen);
        EXPECT_NE(host.closeDevice().code, 0);
    });
    EXPECT_EQ(printed, "");
    for (const std::string& name : names) {
        EXPECT_TRUE(name.starts_with("ALSA: ")) << name;
    }
}

TEST(RtMidiHostWithoutServer, SocketOfAKilledServerMakesNoDeviceAndNoNoise) {
    // A killed server leaves its socket behind, which makes a failed open
    // look like one worth trying again.
    const std::string server = selectServerNobodyRuns("zr70dead");
    const std::string socket = "/dev/shm/jack_" + server + "_" + std::to_string(::getuid()) + "_0";
    std::FILE* left = std::fopen(socket.c_str(), "w");
    ASSERT_NE(left, nullptr);
    std::fclose(left);
    std::vector<std::string> names;
    const std::string printed = printedToStderr([&] {
        RtMidiHost host;
        for (int index = 0; index < host.deviceCount(); ++index) {
            std::string name;
            host.describeDevice(index, name);
            names.push_back(name);
        }
    });
    ::unlink(socket.c_str());
    EXPECT_EQ(printed, "");
    for (const std::string& name : names) {
        EXPECT_TRUE(name.starts_with("ALSA: ")) << name;
    }
}

class RtMidiHostOnJack : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = DummyJack::missingTools();
        if (!missing.empty()) {
            GTEST_SKIP() << missing;
        }
        jack = std::make_unique<DummyJack>();
        ASSERT_TRUE(jack->startServer()) << "the dummy JACK server did not come up";
    }
    void TearDown() override { jack.reset(); }

    /// The receiver's messages once `count` have arrived (or after 10 s).
    std::vector<Bytes> received(const std::string& dump, std::size_t count) {
        waitFor([&] { return testing::readDump(dump).size() >= count; });
        return testing::readDump(dump);
    }

    std::unique_ptr<DummyJack> jack;
};

TEST_F(RtMidiHostOnJack, SendAllArrivesIntactAndSendsFailOnceReceiverAndServerHaveGone) {
    const std::string dump = jack->path("dump.txt");
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, dump));

    RtMidiHost host;
    const int receiver = deviceNamed(host, "JACK: " + client + ":input");
    ASSERT_GE(receiver, 0) << "the receiver's port is not in the device list";

    MidiOutputPort port(host);
    ASSERT_TRUE(port.list());
    const HostResult opened = port.startOn(receiver);
    ASSERT_TRUE(opened.ok()) << opened.text;
    EXPECT_EQ(port.shownDevice(), receiver);
    EXPECT_EQ(port.deviceNames()[static_cast<std::size_t>(receiver)], "JACK: " + client + ":input");

    EXPECT_EQ(sendAll(port), 0) << "a send of the send-all failed";
    EXPECT_EQ(received(dump, 15), expectedSendAll());

    // The receiver goes: the destination port is gone, and sends say so.
    jack->stopReceiver(0);
    EXPECT_TRUE(waitFor([&] { return port.send(kMessage) != 0; }));
    EXPECT_EQ(host.sendLongMessage(kMessage).code, RtMidiHost::kDestinationGone);
    EXPECT_GT(sendAll(port), 0);

    // Then the server goes: sends keep failing at once, far more of them than
    // RtMidi's buffer could hold.
    jack->stopServer();
    mustNotHang("sending after the JACK server stopped", [&] {
        int failed = 0;
        for (int i = 0; i < 5000; ++i) {
            failed += port.send(kMessage) != 0 ? 1 : 0;
        }
        EXPECT_EQ(failed, 5000);
        EXPECT_TRUE(port.shutDown());
    });
    EXPECT_FALSE(port.isOpen());
}

TEST_F(RtMidiHostOnJack, KilledServerFailsSendsInsteadOfFillingTheBuffer) {
    const std::string dump = jack->path("dump.txt");
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, dump));
    RtMidiHost host;
    ASSERT_EQ(host.openDevice(deviceNamed(host, "JACK: " + client + ":input")).code, 0);
    ASSERT_EQ(host.sendLongMessage(kMessage).code, 0);
    EXPECT_EQ(received(dump, 1), std::vector<Bytes>{kMessage});

    // No goodbye from the server this time, and the receiver stays up.
    jack->stopServer(SIGKILL);
    mustNotHang("sending after the JACK server was killed", [&] {
        EXPECT_TRUE(waitFor([&] { return !host.sendLongMessage(kMessage).ok(); }));
        int failed = 0;
        for (int i = 0; i < 5000; ++i) {
            failed += !host.sendLongMessage(kMessage).ok() ? 1 : 0;
        }
        EXPECT_EQ(failed, 5000);
        const HostResult sent = host.sendLongMessage(kMessage);
        EXPECT_EQ(sent.code, RtMidiHost::kServerGone);
        EXPECT_FALSE(sent.text.empty());
        EXPECT_EQ(host.closeDevice().code, 0);
        EXPECT_EQ(host.openDevice(0).code, RtMidiHost::kServerGone);
    });
}

TEST_F(RtMidiHostOnJack, DeviceIsFoundAgainByNameWhenThePortsHaveChanged) {
    const std::string first = jack->path("first.txt");
    const std::string second = jack->path("second.txt");
    const std::string firstPort = receiverName("first") + ":input";
    ASSERT_TRUE(jack->startReceiver(receiverName("first"), first));
    ASSERT_TRUE(jack->startReceiver(receiverName("second"), second));
    RtMidiHost host;
    const int firstDevice = deviceNamed(host, "JACK: " + firstPort);
    const int secondDevice = deviceNamed(host, "JACK: " + receiverName("second") + ":input");
    ASSERT_GE(firstDevice, 0);
    ASSERT_GE(secondDevice, 0);

    // The list stays as it was at start-up while the host's ports change.
    jack->stopReceiver(0);
    ASSERT_TRUE(waitFor([&] { return !jack->hasPort(firstPort); }));
    EXPECT_EQ(host.deviceCount(), 2);
    const HostResult gone = host.openDevice(firstDevice);
    EXPECT_EQ(gone.code, RtMidiHost::kDeviceGone);
    EXPECT_NE(gone.text.find(firstPort), std::string::npos);

    const HostResult opened = host.openDevice(secondDevice);
    ASSERT_EQ(opened.code, 0) << opened.text;
    EXPECT_EQ(host.openDevice(secondDevice).code, RtMidiHost::kAlreadyOpen);
    ASSERT_EQ(host.sendLongMessage(kMessage).code, 0);
    EXPECT_EQ(received(second, 1), std::vector<Bytes>{kMessage});
    EXPECT_EQ(host.closeDevice().code, 0);

    // Closed and opened again, the same device works again.
    ASSERT_EQ(host.openDevice(secondDevice).code, 0);
    ASSERT_EQ(host.sendLongMessage(kMessage).code, 0);
    EXPECT_EQ(received(second, 2), (std::vector<Bytes>{kMessage, kMessage}));
}

TEST_F(RtMidiHostOnJack, JackDevicesAreListedWhileAnotherServerHasClientsOfOurNames) {
    // JACK names the socket on which a client hears from its server after the
    // client alone, not after the server: clients of one name that open at the
    // same moment on two servers of the machine can take each other's socket.
    if (DummyJack::onPipeWire()) {
        GTEST_SKIP() << "jackd's libjack only: PipeWire's keeps each instance's sockets in "
                        "its own runtime folder, and a process selects one instance at a time";
    }
    const std::string client = receiverName("dump");
    ASSERT_TRUE(jack->startReceiver(client, jack->path("dump.txt")));
    DummyJack other; // the programs of the other server find it by name
    ASSERT_TRUE(other.startServer()) << "the second dummy JACK server did not come up";
    testing::ChildProcess churn(ZR70_JACK_NAME_CHURN, {"zr70-watch", "zr70"}, "/dev/null");
    ASSERT_TRUE(churn.started());
    ::setenv("JACK_DEFAULT_SERVER", jack->name().c_str(), 1);

    int without = 0;
    for (int run = 0; run < 40; ++run) {
        RtMidiHost host;
        without += deviceNamed(host, "JACK: " + client + ":input") < 0 ? 1 : 0;
    }
    churn.stop(SIGTERM);
    EXPECT_EQ(without, 0) << "hosts without the receiver's port among 40";
}

} // namespace
} // namespace zr70
