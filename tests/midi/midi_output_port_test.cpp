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

const std::vector<MessageBytes> kMessage{messageFor(2, 1)};

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
        EXPECT_EQ(closed.transmit(kMessage).result.error, MidiError::NotOpen);
        EXPECT_TRUE(closed.shutDown().ok());

        // Picking an entry later opens it without closing anything first.
        host.calls.clear();
        EXPECT_EQ(closed.changeOutput(2), Change::Opened);
        EXPECT_EQ(host.calls, Log{"open 2"});
        EXPECT_TRUE(closed.transmit(kMessage).result.ok());
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
    EXPECT_TRUE(port.shutDown().ok());
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(MidiOutputPortTest, ATransmissionHandsEveryMessageOverPastRefusalsThenWaitsForThemToLeave) {
    startOn(3);
    std::vector<bool> handing;
    Transmission sent = port.transmit(sendAllMessages(ParameterSet::defaults()),
                                      [&](bool on) { handing.push_back(on); });
    ASSERT_EQ(host.sent.size(), 15u);
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(host.sent[i][7], kSendAllOrder[i]) << i;
    }
    EXPECT_EQ(host.count("flush"), 1u);
    EXPECT_TRUE(sent.result.ok());
    EXPECT_EQ(sent.left, 15u);
    EXPECT_EQ(handing.size(), 32u) << "on and off around each message and the wait";

    // A refused message does not stop the others, and is the failure.
    host.sendResults = {0, 67, 0};
    sent = port.transmit(sendAllMessages(ParameterSet::defaults()));
    EXPECT_EQ(sent.handed, 14u);
    EXPECT_EQ(sent.result.text, "host error 67");
    EXPECT_TRUE(port.isOpen());
    // Taken but not left is no success either.
    host.delivery = Delivery{1, 0, MidiResult::failure(MidiError::ServerGone)};
    EXPECT_EQ(port.transmit(kMessage).result.error, MidiError::ServerGone);
    // The caller can stop it between messages.
    host.calls.clear();
    int asked = 0;
    sent =
        port.transmit(sendAllMessages(ParameterSet::defaults()), {}, [&] { return ++asked < 3; });
    EXPECT_TRUE(sent.cutShort);
    EXPECT_EQ(sent.handed, 2u);
}

TEST_F(MidiOutputPortTest, ShutdownClosesOnceAndSaysWhatTheCloseCameTo) {
    startOn(0);
    host.closeResult = 7;
    EXPECT_EQ(port.shutDown().error, MidiError::CloseFailed);
    EXPECT_EQ(host.calls, (Log{"close"}));
    EXPECT_TRUE(port.shutDown().ok()); // nothing left to close
    EXPECT_EQ(host.calls, (Log{"close"}));
    EXPECT_FALSE(port.transmit(kMessage).result.ok());
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
