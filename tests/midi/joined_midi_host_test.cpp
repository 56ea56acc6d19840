#include "midi/joined_midi_host.h"
#include "support/shell_fakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr70 {
namespace {

struct NamedHost : testing::FakeMidiHost {
    explicit NamedHost(std::vector<std::string> names) { devices = std::move(names); }
};

TEST(JoinedMidiHostTest, ListsTheHostsInOrderAndSendsToTheHostOfTheOpenDevice) {
    NamedHost alsa({"ALSA: Midi Through Port-0"});
    NamedHost jack({"JACK: a:in", "JACK: b:in"});
    JoinedMidiHost host({&alsa, &jack});

    ASSERT_EQ(host.deviceCount(), 3);
    std::string name;
    EXPECT_EQ(host.describeDevice(2, name), 0);
    EXPECT_EQ(name, "JACK: b:in");
    ASSERT_TRUE(host.openDevice(2).ok());
    EXPECT_TRUE(host.sendLongMessage(std::vector<std::uint8_t>{0xF0, 0xF7}).ok());
    EXPECT_TRUE(host.closeDevice().ok());
    ASSERT_TRUE(host.openDevice(0).ok());
    EXPECT_EQ(jack.calls, (std::vector<std::string>{"open 1", "send", "close"}));
    EXPECT_EQ(alsa.calls, std::vector<std::string>{"open 0"});
}

TEST(JoinedMidiHostTest, AnIndexPastTheListFailsInTheLastHost) {
    NamedHost alsa({"ALSA: Midi Through Port-0"});
    NamedHost jack({}); // a host that lists nothing now
    JoinedMidiHost host({&alsa, &jack});

    EXPECT_FALSE(host.openDevice(3).ok());
    EXPECT_EQ(jack.calls, std::vector<std::string>{"open 2"});
    EXPECT_TRUE(alsa.calls.empty());
}

} // namespace
} // namespace zr70
