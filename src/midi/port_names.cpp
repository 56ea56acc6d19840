#include "midi/port_names.h"

#include <algorithm>
#include <charconv>

namespace zr70 {
namespace {

std::optional<int> number(std::string_view digits) {
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

bool contains(std::span<const std::string> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

std::optional<AlsaAddress> alsaAddress(std::string_view name) {
    const std::size_t space = name.find_last_of(' ');
    if (space == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view numbers = name.substr(space + 1);
    const std::size_t colon = numbers.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> client = number(numbers.substr(0, colon));
    const std::optional<int> port = number(numbers.substr(colon + 1));
    if (!client || !port) {
        return std::nullopt;
    }
    return AlsaAddress{*client, *port};
}

std::string stablePortName(PortNaming naming, std::string_view name) {
    if (naming == PortNaming::AlsaNumbered && alsaAddress(name)) {
        return std::string(name.substr(0, name.find_last_of(' ')));
    }
    return std::string(name);
}

std::optional<std::size_t> findPortAgain(PortNaming naming, std::span<const std::string> listed,
                                         std::size_t entry, std::span<const std::string> now) {
    if (entry >= listed.size()) {
        return std::nullopt;
    }
    const std::string& wanted = listed[entry];
    const auto same = std::find(now.begin(), now.end(), wanted);
    if (same != now.end()) {
        return static_cast<std::size_t>(same - now.begin());
    }

    const std::string stable = stablePortName(naming, wanted);
    // The entry's place among the listed ports of its stable name that have gone.
    std::size_t rank = 0;
    for (std::size_t other = 0; other < entry; ++other) {
        if (stablePortName(naming, listed[other]) == stable && !contains(now, listed[other])) {
            ++rank;
        }
    }
    for (std::size_t port = 0; port < now.size(); ++port) {
        if (stablePortName(naming, now[port]) == stable && !contains(listed, now[port])) {
            if (rank == 0) {
                return port;
            }
            --rank;
        }
    }
    return std::nullopt;
}

std::string alsaOutputName(std::size_t number, std::string_view name) {
    if (name.empty()) {
        return "ALSA: port " + std::to_string(number) + ", whose name could not be read";
    }
    const std::string stable = stablePortName(PortNaming::AlsaNumbered, name);
    const std::size_t colon = stable.find(':');
    if (colon != std::string::npos &&
        std::string_view(stable).substr(colon + 1).starts_with(stable.substr(0, colon))) {
        return "ALSA: " + stable.substr(colon + 1);
    }
    return "ALSA: " + stable;
}

} // namespace zr70
