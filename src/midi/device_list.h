#pragma once

#include <string>

namespace zr70 {

/// The list of MIDI output devices the user picks from. Entry position i is
/// device i: the list is never sorted.
class DeviceList {
public:
    virtual ~DeviceList() = default;
    virtual void append(const std::string& name) = 0;
    /// Selects entry `position` from the program (not a device change); does
    /// nothing when there is no such entry.
    virtual void select(int position) = 0;
    /// Position of the selected entry, -1 when none is selected.
    virtual int selected() const = 0;
};

} // namespace zr70
