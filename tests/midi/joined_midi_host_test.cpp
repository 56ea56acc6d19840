#include "midi/joined_midi_host.h"
#include "support/shell_fakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr70 {
namespace {

/// A fake host whose error texts say which host it is.
class NamedHost : public testing::FakeMidiHost {
public:
    NamedHost(std::string name, std::vector<std::string> names) : name_(std::move(name)) {
        devices = std::move(names);
    }
    std::string errorText(int code) override { return name_ + " error " + std::to_string(code); }

private:
    std::string name_;
};

TEST(JoinedMidiHostTest, ListsTheHostsInOrderAndSendsToTheHostOfTheOpenDevice) {
    NamedHost alsa("ALSA", {"ALSA: Midi Through Port-0"});
    NamedHost jack("JACK", {"JACK: a:in", "JACK: b:in"});
    JoinedMidiHost host({&alsa, &jack});

    ASSERT_EQ(host.deviceCount(), 3);
    std::string name;
    EXPECT_EQ(host.describeDevice(2, name), 0);
    EXPECT_EQ(name, "JACK: b:in");
    ASSERT_EQ(host.openDevice(2), 0);
    EXPECT_EQ(host.prepareBuffer(), 0);
    EXPECT_EQ(host.sendLongMessage(std::vector<std::uint8_t>{0xF0, 0xF7}), 0);
    EXPECT_EQ(host.releaseBuffer(), 0);
    EXPECT_EQ(host.closeDevice(), 0);
    ASSERT_EQ(host.openDevice(0), 0);
    EXPECT_EQ(jack.calls,
              (std::vector<std::string>{"open 1", "prepare", "send", "release", "close"}));
    EXPECT_EQ(alsa.calls, std::vector<std::string>{"open 0"});
}

TEST(JoinedMidiHostTest, AnIndexPastTheListFailsInTheLastHostWithItsText) {
    NamedHost alsa("ALSA", {"ALSA: Midi Through Port-0"});
    NamedHost jack("JACK", {}); // a host that lists nothing now
    JoinedMidiHost host({&alsa, &jack});

    alsa.busy = {0};
    const int busy = host.openDevice(0);
    const int missing = host.openDevice(3);
    EXPECT_EQ(jack.calls, std::vector<std::string>{"open 2"});
    EXPECT_EQ(host.errorText(missing), "JACK error 4");
    EXPECT_EQ(busy, missing);
    // The same code from another host: the text of the host that gave it last.
    EXPECT_EQ(host.openDevice(0), busy);
    EXPECT_EQ(host.errorText(busy), "ALSA error 4");
}

} // namespace
} // namespace zr70
