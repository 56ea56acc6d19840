#pragma once

#include "converter/message.h"
#include "converter/parameter_table.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zr70 {

/// The fifteen selections of the panel, by parameter index; kNoSelection
/// where a list has none.
class ParameterSet {
public:
    /// Every parameter without a selection.
    ParameterSet() { selections_.fill(kNoSelection); }

    /// The converter's factory selections.
    static ParameterSet defaults();

    int selection(ParameterIndex index) const { return selections_[slot(index)]; }

    /// A selection that names no entry of the parameter's list leaves it
    /// without one.
    void set(ParameterIndex index, int selection);

    bool operator==(const ParameterSet&) const = default;

private:
    static std::size_t slot(ParameterIndex index) { return static_cast<std::size_t>(index); }

    std::array<int, kParameterCount> selections_{};
};

/// The messages of a send-all, in send-all order; parameters without a
/// selection are left out.
std::vector<MessageBytes> sendAllMessages(const ParameterSet& set);

/// The fifteen selection bytes of a preset file, in file order; a parameter
/// without a selection is stored as FFh.
std::array<std::uint8_t, kParameterCount> toPresetBytes(const ParameterSet& set);

/// Selections from up to fifteen preset bytes in file order. A byte that names
/// no entry of its list, and every parameter past the end of the bytes, gets
/// no selection.
ParameterSet fromPresetBytes(std::span<const std::uint8_t> bytes);

} // namespace zr70
