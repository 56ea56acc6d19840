#pragma once

#include "midi/midi_output.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zr70 {

/// Every MIDI output of the host, of all its systems, numbered in one list:
/// what the output port is written against.
class MidiHost : public MidiOutput {};

/// Where the output listed as `name` is among `names`: of several of that
/// name (two identical interfaces), the one at `preferred` when it is one of
/// them, else the first; nothing when none has that name.
std::optional<int> findOutput(const std::vector<std::string>& names, std::string_view name,
                              int preferred);

} // namespace zr70
