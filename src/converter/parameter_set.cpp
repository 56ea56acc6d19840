#include "parameter_set.h"

#include <algorithm>

namespace zr70 {

ParameterSet ParameterSet::defaults() {
    ParameterSet set;
    for (ParameterIndex index : kPresetFileOrder) {
        set.set(index, parameter(index).defaultSelection);
    }
    return set;
}

void ParameterSet::set(ParameterIndex index, int selection) {
    selections_[slot(index)] = isValidSelection(index, selection) ? selection : kNoSelection;
}

std::vector<MessageBytes> sendAllMessages(const ParameterSet& set) {
    std::vector<MessageBytes> messages;
    for (ParameterIndex index : kSendAllOrder) {
        if (set.selection(index) != kNoSelection) {
            messages.push_back(messageFor(index, set.selection(index)));
        }
    }
    return messages;
}

std::array<std::uint8_t, kParameterCount> toPresetBytes(const ParameterSet& set) {
    std::array<std::uint8_t, kParameterCount> bytes{};
    for (std::size_t position = 0; position < kPresetFileOrder.size(); ++position) {
        // -1 is stored in its low eight bits.
        bytes[position] = static_cast<std::uint8_t>(set.selection(kPresetFileOrder[position]));
    }
    return bytes;
}

ParameterSet fromPresetBytes(std::span<const std::uint8_t> bytes) {
    ParameterSet set;
    const std::size_t count = std::min(bytes.size(), kPresetFileOrder.size());
    for (std::size_t position = 0; position < count; ++position) {
        set.set(kPresetFileOrder[position], bytes[position]);
    }
    return set;
}

} // namespace zr70
