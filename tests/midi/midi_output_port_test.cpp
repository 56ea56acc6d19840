#include "converter/parameter_set.h"
#include "midi/midi_output_port.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zr70 {
namespace {

using testing::Bytes;
using Log = std::vector<std::string>;
using Change = MidiOutputPort::Change;

const Bytes kMessage{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7};

struct MidiOutputPortTest : ::testing::Test {
    MidiOutputPortTest() { host.devices = {"Port A", "Port B", "Port C", "Port D"}; }

    /// Lists the outputs and starts on `output`; what the open came to.
    MidiResult startWith(int output) {
        port.list();
        return port.startOn(output);
    }
    /// Starts on `output` and forgets what start-up did.
    void startOn(int output) {
        ASSERT_TRUE(startWith(output).ok());
        host.calls.clear();
    }

    testing::FakeMidiHost host;
    MidiOutputPort port{host};
};

TEST_F(MidiOutputPortTest, ListsTheOutputsInHostOrderAndStartsOnTheOneItIsGiven) {
    startWith(1);
    EXPECT_EQ(port.outputNames(), host.devices);
    EXPECT_EQ(host.calls, Log{"open 1"});
    EXPECT_EQ(port.currentOutput(), 1);

    host.devices.clear();
    EXPECT_TRUE(port.list().names.empty());
}

TEST_F(MidiOutputPortTest, AnOutputThatDidNotOpenAtStartLeavesThePortClosedUntilAPickOpens) {
    for (const int start : {9, 1}) { // no such output; a busy one
        SCOPED_TRACE(start);
        MidiOutputPort closed(host);
        host.busy = {1};
        closed.list();
        EXPECT_EQ(closed.startOn(start).text, "host error 4");
        EXPECT_FALSE(closed.isOpen());
        EXPECT_EQ(closed.currentOutput(), start);
        EXPECT_FALSE(closed.send(kMessage).ok());
        EXPECT_FALSE(closed.flush().result.ok());
        EXPECT_TRUE(closed.shutDown());

        // Picking an entry later opens it without closing anything first.
        host.calls.clear();
        EXPECT_EQ(closed.changeOutput(2), Change::Opened);
        EXPECT_EQ(host.calls, Log{"open 2"});
        EXPECT_TRUE(closed.send(kMessage).ok());
        EXPECT_EQ(closed.currentOutput(), 2);
        closed.shutDown();
    }
}

TEST_F(MidiOutputPortTest, APickClosesTheOldOutputAndOpensTheNewOneEveryStepOfTheWay) {
    startOn(0);
    for (int position : {1, 2, 3}) {
        EXPECT_EQ(port.changeOutput(position), Change::Opened);
    }
    EXPECT_EQ(host.calls, (Log{"close", "open 1", "close", "open 2", "close", "open 3"}));
    EXPECT_EQ(port.currentOutput(), 3);
    // A list that lost its selection is no pick.
    host.calls.clear();
    EXPECT_EQ(port.changeOutput(-1), Change::None);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(MidiOutputPortTest, ABusyPickLeavesThePortClosedUntilThePreviousOutputReopens) {
    startOn(1);
    host.busy = {3};
    EXPECT_EQ(port.changeOutput(3), Change::Busy);
    EXPECT_FALSE(port.isOpen());
    port.reopen();
    EXPECT_EQ(host.calls, (Log{"close", "open 3", "open 1"}));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.currentOutput(), 1);

    // The previous output cannot be opened again either: closed, and silent
    // at shutdown.
    host.busy = {1, 3};
    port.changeOutput(3);
    port.reopen();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.currentOutput(), 1);
    host.calls.clear();
    EXPECT_TRUE(port.shutDown());
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(MidiOutputPortTest, SendAllHandsOverFifteenDistinctMessagesAndAFlushSaysTheyLeft) {
    startOn(3);
    for (const MessageBytes& message : sendAllMessages(ParameterSet::defaults())) {
        EXPECT_TRUE(port.send(message).ok());
    }
    ASSERT_EQ(host.sent.size(), 15u);
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(host.sent[i][7], kSendAllOrder[i]) << i;
    }
    const Delivery delivery = port.flush();
    EXPECT_TRUE(delivery.result.ok());
    EXPECT_EQ(delivery.left, 15u);

    // A refused message changes nothing of the port.
    host.sendResults = {67};
    EXPECT_EQ(port.send(kMessage).text, "host error 67");
    EXPECT_TRUE(port.isOpen());
}

TEST_F(MidiOutputPortTest, ShutdownClosesOnceAndReportsOnlyACloseTheSystemRefused) {
    startOn(0);
    host.closeResult = 7;
    EXPECT_FALSE(port.shutDown());
    EXPECT_EQ(host.calls, (Log{"close"}));
    EXPECT_TRUE(port.shutDown()); // nothing left to close
    EXPECT_EQ(host.calls, (Log{"close"}));
    EXPECT_FALSE(port.send(kMessage).ok());
}

TEST(CutErrorText, KeepsShortTextsAndNeverSplitsACharacter) {
    EXPECT_EQ(cutErrorText("Port busy"), "Port busy");
    EXPECT_EQ(cutErrorText(std::string(98, 'a')), std::string(98, 'a'));
    // 97 ASCII characters, then a two-byte character and more: 98 characters
    // are kept, the second byte of "ü" with them.
    const std::string text = std::string(97, 'a') + "\xC3\xBC" + "zzz";
    EXPECT_EQ(cutErrorText(text), std::string(97, 'a') + "\xC3\xBC");
}

} // namespace
} // namespace zr70
