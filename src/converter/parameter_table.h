#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zr70 {

/// Number of a converter parameter, 0-14; also the low address byte of its message.
using ParameterIndex = int;

inline constexpr int kParameterCount = 15;

/// Selection index of a list that has no entry selected.
inline constexpr int kNoSelection = -1;

/// A converter parameter: what the window shows of it, and what goes to the
/// converter. The window's lists, the command line's names and values and the
/// messages are all made from this one table.
struct DeviceParameter {
    ParameterIndex index;
    std::string_view key;   ///< its name in code: "playMode" (the window's list is "playModeList")
    std::string_view label; ///< as the window shows it beside its list: "Play Mode"
    std::span<const std::string_view> values; ///< the list's entries, in list order
    int defaultSelection;
    int valueOffset; ///< added to the selection index to give the value byte
};

/// The fifteen parameters, indexed by ParameterIndex.
const std::array<DeviceParameter, kParameterCount>& parameterTable();

/// The parameter with the given index; the index must be 0-14.
const DeviceParameter& parameter(ParameterIndex index);

/// True when `selection` names an entry of the parameter's value list.
bool isValidSelection(ParameterIndex index, int selection);

/// The byte sent for a selection: the selection index, plus 63 for Octave shift,
/// in 8 bits. The selection must be valid.
std::uint8_t valueByte(ParameterIndex index, int selection);

/// What a name or a value given as text matched: the one it names, else
/// every one that would fit (none when nothing does).
struct TextMatch {
    std::optional<int> found;
    std::vector<int> candidates;
};

/// The parameter a person names by its label, without regard to letter
/// case, spaces and dots ("Play Mode", "playmode", "pick. e1"), or by its
/// number ("2"). A whole label wins; else the start of one label alone is
/// enough.
TextMatch findParameter(std::string_view name);

/// The entry of the parameter's list a person names, without regard to
/// letter case and spaces ("mono", "440.0hz"): a whole entry wins; else the
/// start of one entry alone is enough ("442").
TextMatch findValue(ParameterIndex index, std::string_view value);

/// Order of the selection bytes in a preset file; the default selections are
/// applied in this order too.
inline constexpr std::array<ParameterIndex, kParameterCount> kPresetFileOrder{
    5, 1, 4, 0, 2, 3, 6, 14, 8, 9, 10, 11, 12, 13, 7};

/// Order in which send-all transmits: Master Tune goes between Touch
/// Sensitivity and the six string sensitivities.
inline constexpr std::array<ParameterIndex, kParameterCount> kSendAllOrder{
    0, 1, 2, 3, 4, 5, 6, 7, 14, 8, 9, 10, 11, 12, 13};

} // namespace zr70
