#include "midi/port_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zr70 {
namespace {

using Names = std::vector<std::string>;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

/// What findPortAgain says for every listed entry, kNone for a gone port.
std::vector<std::size_t> findAll(PortNaming naming, const Names& listed, const Names& now) {
    std::vector<std::size_t> found;
    for (std::size_t entry = 0; entry < listed.size(); ++entry) {
        found.push_back(findPortAgain(naming, listed, entry, now).value_or(kNone));
    }
    return found;
}

using Places = std::vector<std::size_t>;

const std::string kThrough = "Midi Through:Midi Through Port-0 14:0";
const std::string kFirst = "UM-ONE:UM-ONE MIDI 1 20:0";
const std::string kSecond = "UM-ONE:UM-ONE MIDI 1 24:0";

TEST(AlsaPortNames, TheListShowsAPortWithoutItsNumbersAndOneWithoutANameAsSuch) {
    EXPECT_EQ(alsaOutputName(0, kThrough), "ALSA: Midi Through Port-0");
    EXPECT_EQ(alsaOutputName(1, "Synth:Out 128:3"), "ALSA: Synth:Out");
    EXPECT_EQ(alsaOutputName(3, ""), "ALSA: port 3, whose name could not be read");
}

TEST(AlsaPortNames, OnlyTrailingClientAndPortNumbersAreAnAddress) {
    ASSERT_TRUE(alsaAddress(kThrough));
    EXPECT_EQ(alsaAddress(kThrough)->client, 14);
    EXPECT_EQ(alsaAddress(kThrough)->port, 0);
    EXPECT_EQ(alsaAddress("Synth:Out 128:3")->port, 3);
    for (const char* name : {"Midi Through", "Synth 14:", "Synth :0", "Synth 14:0x", "Synth 1-4:0",
                             "Synth 99999999999:0", "Synth 14:0 ", ""}) {
        EXPECT_FALSE(alsaAddress(name)) << name;
    }
    EXPECT_EQ(stablePortName(PortNaming::AlsaNumbered, kThrough),
              "Midi Through:Midi Through Port-0");
    EXPECT_EQ(stablePortName(PortNaming::AlsaNumbered, "Synth 14:0x"), "Synth 14:0x");
    // JACK names are never cut, whatever they end in.
    EXPECT_EQ(stablePortName(PortNaming::Plain, "a2j:Synth 14:0"), "a2j:Synth 14:0");
}

TEST(FindPortAgain, TwoIdenticalDevicesEachOpenTheirOwnPort) {
    const Names listed{kThrough, kFirst, kSecond};
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed, listed), (Places{0, 1, 2}));
    // The host's order may change while the numbers stay.
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed, Names{kSecond, kFirst, kThrough}),
              (Places{2, 1, 0}));
}

TEST(FindPortAgain, RenumberedPortsAreFoundInTheOrderOfTheList) {
    const Names listed{kThrough, kFirst, kSecond};
    // Both interfaces plugged in again under new numbers.
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed,
                      Names{"UM-ONE:UM-ONE MIDI 1 28:0", "Midi Through:Midi Through Port-0 15:0",
                            "UM-ONE:UM-ONE MIDI 1 32:0"}),
              (Places{1, 0, 2}));
    // Only the second one came back under a new number; the first keeps its port.
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed,
                      Names{kThrough, "UM-ONE:UM-ONE MIDI 1 28:0", kFirst}),
              (Places{0, 2, 1}));
}

TEST(FindPortAgain, GonePortIsNotReplacedByAnotherListedOne) {
    const Names listed{kThrough, kFirst, kSecond};
    // The first interface was unplugged: its entry must not open the second.
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed, Names{kThrough, kSecond}),
              (Places{0, kNone, 1}));
    // Both unplugged, one plugged in again: it goes to the first of the two.
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed, Names{"UM-ONE:UM-ONE MIDI 1 28:0"}),
              (Places{kNone, 0, kNone}));
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed, Names{}), (Places{kNone, kNone, kNone}));
    // An unreadable name (empty) matches nothing.
    EXPECT_EQ(findAll(PortNaming::AlsaNumbered, listed, Names{"", kThrough}),
              (Places{1, kNone, kNone}));
    EXPECT_FALSE(findPortAgain(PortNaming::AlsaNumbered, listed, 3, listed));
}

TEST(FindPortAgain, JackPortsAreFoundByTheirWholeNameOnly) {
    const Names listed{"first:input", "second:input", "a2j:Synth 20:0"};
    EXPECT_EQ(findAll(PortNaming::Plain, listed, Names{"second:input", "first:input"}),
              (Places{1, 0, kNone}));
    EXPECT_EQ(findAll(PortNaming::Plain, listed, Names{"first-01:input", "a2j:Synth 24:0"}),
              (Places{kNone, kNone, kNone}));
}

} // namespace
} // namespace zr70
