#include "midi/midi_host.h"

namespace zr70 {

std::string cutErrorText(std::string_view text) {
    std::size_t characters = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80) {
            if (characters == kMaxErrorTextLength) {
                break;
            }
            ++characters;
        }
        ++end;
    }
    return std::string(text.substr(0, end));
}

std::optional<int> findOutput(const std::vector<std::string>& names, std::string_view name,
                              int preferred) {
    std::optional<int> first;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (names[index] == name) {
            if (static_cast<int>(index) == preferred) {
                return preferred;
            }
            first = first.value_or(static_cast<int>(index));
        }
    }
    return first;
}

std::string listedDeviceName(MidiHost& host, int index) {
    std::string name;
    if (host.describeDevice(index, name) != 0 || name.empty()) {
        // Entry positions must keep matching device numbers, so a device
        // without a readable name still gets an entry.
        name = "MIDI Out " + std::to_string(index);
    }
    return name;
}

} // namespace zr70
