#include "converter/parameter_set.h"
#include "midi/midi_output_port.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zr70 {
namespace {

using testing::Bytes;

constexpr int kBusy = 4; // the code a held device answers an open with

/// A host whose devices, failures and texts the test scripts; it logs every
/// call in order.
class ScriptedHost : public MidiHost {
public:
    int deviceCount() override {
        ++countCalls;
        return static_cast<int>(names.size());
    }
    int describeDevice(int index, std::string& name) override {
        if (unreadable.contains(index)) {
            return 2;
        }
        name = names.at(static_cast<std::size_t>(index));
        return 0;
    }
    HostResult openDevice(int index) override {
        log.push_back("open " + std::to_string(index));
        if (index < 0 || index >= static_cast<int>(names.size())) {
            return result(2);
        }
        if (busy.contains(index)) {
            return result(kBusy);
        }
        openIndex = index;
        return {};
    }
    HostResult sendLongMessage(std::span<const std::uint8_t> message) override {
        sent.emplace_back(message.begin(), message.end());
        sentTo.push_back(openIndex);
        return result(sendResult);
    }
    HostResult closeDevice() override {
        log.push_back("close");
        openIndex = -1;
        return result(closeResult);
    }
    HostResult result(int code) const {
        if (code == 0) {
            return {};
        }
        const auto text = texts.find(code);
        return {code, text != texts.end() ? text->second : "host error " + std::to_string(code)};
    }

    std::vector<std::string> names{"Port A", "Port B", "Port C", "Port D"};
    std::set<int> busy;
    std::set<int> unreadable;
    int sendResult = 0;
    int closeResult = 0;
    std::map<int, std::string> texts;

    int countCalls = 0;
    int openIndex = -1;
    std::vector<std::string> log;
    std::vector<Bytes> sent;
    std::vector<int> sentTo;
};

using Log = std::vector<std::string>;
using Change = MidiOutputPort::Change;

const Bytes kMessage{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7};

struct MidiOutputPortTest : ::testing::Test {
    /// Lists the devices and starts on `device`; the host's result of the open.
    HostResult startWith(int device) {
        EXPECT_TRUE(port.list());
        return port.startOn(device);
    }
    /// Starts on `device` and forgets what start-up did.
    void startOn(int device) {
        ASSERT_TRUE(startWith(device).ok());
        ASSERT_TRUE(port.isOpen());
        host.log.clear();
    }

    ScriptedHost host;
    MidiOutputPort port{host};
};

// --- start-up ---

TEST_F(MidiOutputPortTest, NoDeviceListsNothingAndOpensNothing) {
    host.names.clear();
    EXPECT_FALSE(port.list());
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(port.deviceNames().empty());
    EXPECT_TRUE(port.shutDown());
}

TEST_F(MidiOutputPortTest, ListsEveryDeviceInHostOrderAndNamesUnreadableOnesByNumber) {
    host.unreadable = {2};
    startWith(1);
    EXPECT_EQ(port.deviceNames(),
              (std::vector<std::string>{"Port A", "Port B", "MIDI Out 2", "Port D"}));
    // The count is asked again before every entry, as the host may change it.
    EXPECT_GE(host.countCalls, 5);
    EXPECT_EQ(host.log, (Log{"open 1"}));
    EXPECT_EQ(port.shownDevice(), 1);
    EXPECT_EQ(port.currentDevice(), 1);
}

TEST_F(MidiOutputPortTest, IndexBeyondTheLastDeviceIsKeptWithThePortClosed) {
    host.texts[2] = "The device identifier specified is out of range.";
    EXPECT_EQ(startWith(9).text, "The device identifier specified is out of range.");
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.shownDevice(), -1);
    EXPECT_EQ(port.currentDevice(), 9);
    EXPECT_NE(port.send(kMessage), 0);
    EXPECT_TRUE(host.sent.empty());

    // Picking an entry later opens it without closing anything first.
    host.log.clear();
    EXPECT_EQ(port.changeDevice(2), Change::Opened);
    EXPECT_EQ(host.log, (Log{"open 2"}));
    EXPECT_EQ(port.currentDevice(), 2);
    EXPECT_EQ(port.send(kMessage), 0);
    EXPECT_EQ(host.sentTo, std::vector<int>{2});
}

TEST_F(MidiOutputPortTest, BusyDeviceAtStartIsShownSelectedWithThePortClosed) {
    host.busy = {1};
    EXPECT_EQ(startWith(1).code, kBusy);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.shownDevice(), 1);
    EXPECT_TRUE(port.shutDown());
    EXPECT_EQ(host.log, Log{"open 1"});
}

TEST(CutErrorText, KeepsShortTextsAndNeverSplitsACharacter) {
    EXPECT_EQ(cutErrorText("Port busy"), "Port busy");
    EXPECT_EQ(cutErrorText(std::string(98, 'a')), std::string(98, 'a'));
    // 97 ASCII characters, then a two-byte character and more: 98 characters
    // are kept, the second byte of "ü" with them.
    const std::string text = std::string(97, 'a') + "\xC3\xBC" + "zzz";
    EXPECT_EQ(cutErrorText(text), std::string(97, 'a') + "\xC3\xBC");
}

// --- device change ---

TEST_F(MidiOutputPortTest, ChangeClosesTheOldDeviceOpensTheNewOneAndStoresIt) {
    startOn(0);
    EXPECT_EQ(port.changeDevice(2), Change::Opened);
    EXPECT_EQ(host.log, (Log{"close", "open 2"}));
    EXPECT_EQ(port.currentDevice(), 2);
    EXPECT_EQ(port.shownDevice(), 2); // the user's own selection stands
    EXPECT_EQ(port.send(kMessage), 0);
    EXPECT_EQ(host.sentTo, std::vector<int>{2});
}

TEST_F(MidiOutputPortTest, BusyDeviceLeavesThePortClosedUntilThePreviousOneReopens) {
    startOn(1);
    host.busy = {3};
    EXPECT_EQ(port.changeDevice(3), Change::Busy);
    EXPECT_EQ(host.log, (Log{"close", "open 3"}));
    EXPECT_FALSE(port.isOpen());
    port.reopen();
    EXPECT_EQ(host.log, (Log{"close", "open 3", "open 1"}));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.currentDevice(), 1);
    EXPECT_EQ(port.shownDevice(), 1);
    EXPECT_EQ(port.send(kMessage), 0);
    EXPECT_EQ(host.sentTo, std::vector<int>{1});
}

TEST_F(MidiOutputPortTest, FailedReOpenLeavesThePortClosedAndShutdownSilent) {
    startOn(1);
    host.busy = {1, 3};
    EXPECT_EQ(port.changeDevice(3), Change::Busy);
    port.reopen();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.shownDevice(), 1);
    EXPECT_EQ(port.currentDevice(), 1);
    EXPECT_NE(port.send(kMessage), 0);
    EXPECT_TRUE(host.sent.empty());

    host.log.clear();
    EXPECT_TRUE(port.shutDown());
    EXPECT_TRUE(host.log.empty());

    // A later pick that opens works again, without a close first.
    host.busy.clear();
    EXPECT_EQ(port.changeDevice(2), Change::Opened);
    EXPECT_EQ(host.log, (Log{"open 2"}));
}

TEST_F(MidiOutputPortTest, BusyPickAfterAFailedStartLeavesTheUsersSelection) {
    // The previous index names no entry, so there is nothing to select again.
    startWith(7);
    host.busy = {2};
    EXPECT_EQ(port.changeDevice(2), Change::Busy);
    port.reopen();
    EXPECT_EQ(port.shownDevice(), 2);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.currentDevice(), 7);
}

TEST_F(MidiOutputPortTest, ArrowKeyWalkOpensEveryDevicePassedOver) {
    startOn(0);
    for (int position : {1, 2, 3}) {
        port.changeDevice(position);
    }
    EXPECT_EQ(host.log, (Log{"close", "open 1", "close", "open 2", "close", "open 3"}));
    EXPECT_EQ(port.currentDevice(), 3);
}

TEST_F(MidiOutputPortTest, ListWithoutSelectionIsNoDeviceChange) {
    startOn(1);
    EXPECT_EQ(port.changeDevice(-1), Change::None);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(port.isOpen());
}

// --- send and shutdown ---

TEST_F(MidiOutputPortTest, SendPassesTheHostResultOnUnchanged) {
    startOn(0);
    host.sendResult = 67;
    EXPECT_EQ(port.send(kMessage), 67);
    EXPECT_EQ(host.sent, std::vector<Bytes>{kMessage});
    EXPECT_TRUE(port.isOpen()); // a refused message changes nothing
}

TEST_F(MidiOutputPortTest, SendBeforeStartAndAfterShutdownFailsWithoutTheHost) {
    EXPECT_NE(port.send(kMessage), 0);
    startOn(0);
    port.shutDown();
    EXPECT_NE(port.send(kMessage), 0);
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(MidiOutputPortTest, SendAllHandsOverFifteenDistinctMessagesOnTheOpenDevice) {
    startOn(3);
    for (const MessageBytes& message : sendAllMessages(ParameterSet::defaults())) {
        EXPECT_EQ(port.send(message), 0);
    }
    ASSERT_EQ(host.sent.size(), 15u);
    EXPECT_EQ(host.sentTo, std::vector<int>(15, 3));
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(host.sent[i][7], kSendAllOrder[i]) << i;
    }
}

TEST_F(MidiOutputPortTest, ShutdownClosesOnceAndReportsAFailedClose) {
    startOn(0);
    host.closeResult = 7;
    EXPECT_FALSE(port.shutDown());
    EXPECT_EQ(host.log, (Log{"close"}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.shutDown()); // nothing left to close
    EXPECT_EQ(host.log, (Log{"close"}));
}

} // namespace
} // namespace zr70
