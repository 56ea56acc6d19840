#include "parameter_table.h"

#include <algorithm>
#include <cassert>
#include <string>

namespace zr70 {
namespace {

using namespace std::string_view_literals;

constexpr std::array kChannels{"1"sv, "2"sv,  "3"sv,  "4"sv,  "5"sv,  "6"sv,  "7"sv,  "8"sv,
                               "9"sv, "10"sv, "11"sv, "12"sv, "13"sv, "14"sv, "15"sv, "16"sv};
constexpr std::array kBendRanges{"0"sv, "2"sv, "12"sv, "24"sv};
constexpr std::array kPlayModes{"Poly"sv, "Mono"sv};
constexpr std::array kOctaves{"Down"sv, "Normal"sv, "Up"sv};
constexpr std::array kBenderThin{"Off"sv, "Normal"sv, "On"sv};
constexpr std::array kOffOn{"Off"sv, "On"sv};
constexpr std::array kPedalAssign{"Express."sv, "Modul."sv};
constexpr std::array kTouch{"Finger"sv, "Normal"sv, "Hard"sv, "No dynamics"sv};
constexpr std::array kPickup{"1"sv, "2"sv, "3"sv, "4"sv, "5"sv, "6"sv, "7"sv, "8"sv};
constexpr std::array kMasterTune{"440.0 Hz"sv, "442.0 Hz"sv};

// clang-format off
const std::array<DeviceParameter, kParameterCount> kTable{{
    // index  key                   label                value list     default  value byte offset
    {  0,     "midiChannel",        "Midi channel",      kChannels,     0,       0  },
    {  1,     "benderRange",        "Bender Rng.",       kBendRanges,   0,       0  },
    {  2,     "playMode",           "Play Mode",         kPlayModes,    0,       0  },
    {  3,     "octaveShift",        "Octave shift",      kOctaves,      1,       63 },
    {  4,     "benderThin",         "Bender Thin",       kBenderThin,   1,       0  },
    {  5,     "attackFilter",       "Attack Filter",     kOffOn,        0,       0  },
    {  6,     "pedalAssign",        "Pedal Assign",      kPedalAssign,  0,       0  },
    {  7,     "touchSensitivity",   "Touch Sensitivity", kTouch,        1,       0  },
    {  8,     "pickE1",             "Pick. E1",          kPickup,       3,       0  },
    {  9,     "pickH",              "Pick. H",           kPickup,       3,       0  },
    { 10,     "pickG",              "Pick. G",           kPickup,       3,       0  },
    { 11,     "pickD",              "Pick. D",           kPickup,       3,       0  },
    { 12,     "pickA",              "Pick. A",           kPickup,       3,       0  },
    { 13,     "pickE2",             "Pick. E2",          kPickup,       3,       0  },
    { 14,     "masterTune",         "Master Tune",       kMasterTune,   0,       0  },
}};
// clang-format on

} // namespace

const std::array<DeviceParameter, kParameterCount>& parameterTable() {
    return kTable;
}

const DeviceParameter& parameter(ParameterIndex index) {
    assert(index >= 0 && index < kParameterCount);
    return kTable[static_cast<std::size_t>(index)];
}

bool isValidSelection(ParameterIndex index, int selection) {
    return selection >= 0 && static_cast<std::size_t>(selection) < parameter(index).values.size();
}

std::uint8_t valueByte(ParameterIndex index, int selection) {
    return static_cast<std::uint8_t>(selection + parameter(index).valueOffset);
}

namespace {

/// `text` in lower case, without spaces, and without dots unless `keepDots`.
std::string folded(std::string_view text, bool keepDots) {
    std::string result;
    for (const char c : text) {
        if (c != ' ' && (keepDots || c != '.')) {
            result += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return result;
}

/// Which of `choices` `wanted` names once both are folded: the whole of one,
/// else the start of one alone.
TextMatch match(std::string_view wanted, const std::vector<std::string>& choices) {
    TextMatch result;
    for (std::size_t at = 0; at < choices.size(); ++at) {
        if (choices[at] == wanted) {
            return {static_cast<int>(at), {static_cast<int>(at)}};
        }
        if (!wanted.empty() && choices[at].starts_with(wanted)) {
            result.candidates.push_back(static_cast<int>(at));
        }
    }
    if (result.candidates.size() == 1) {
        result.found = result.candidates.front();
    }
    return result;
}

} // namespace

TextMatch findParameter(std::string_view name) {
    if (!name.empty() && name.size() <= 2 &&
        std::ranges::all_of(name, [](char c) { return c >= '0' && c <= '9'; })) {
        const int number = std::stoi(std::string(name));
        if (number < kParameterCount && (name.size() == 1 || name.front() != '0')) {
            return {number, {number}};
        }
    }
    std::vector<std::string> labels;
    for (const DeviceParameter& row : kTable) {
        labels.push_back(folded(row.label, false));
    }
    return match(folded(name, false), labels);
}

TextMatch findValue(ParameterIndex index, std::string_view value) {
    std::vector<std::string> entries;
    for (std::string_view entry : parameter(index).values) {
        entries.push_back(folded(entry, true));
    }
    return match(folded(value, true), entries);
}

} // namespace zr70
