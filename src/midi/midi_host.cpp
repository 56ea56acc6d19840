#include "midi/midi_host.h"

namespace zr70 {

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

} // namespace zr70
