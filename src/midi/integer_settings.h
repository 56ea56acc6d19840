#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace zr70 {

/// Integer values by section and key that outlive the program run.
class IntegerSettings {
public:
    virtual ~IntegerSettings() = default;
    /// The stored value, or `fallback` when it is missing or unreadable.
    virtual std::int32_t readInt(std::string_view section, std::string_view key,
                                 std::int32_t fallback) const = 0;
    /// Stores the value at once; returns false when it could not be written.
    virtual bool writeInt(std::string_view section, std::string_view key, std::int32_t value) = 0;

    using Entry = std::pair<std::string_view, std::int32_t>;
    /// Stores several values of one section at once, in the order given, and
    /// returns false when any could not be written. A store that writes a file
    /// does so once for all of them.
    virtual bool writeInts(std::string_view section, std::initializer_list<Entry> entries) {
        bool written = true;
        for (const Entry& entry : entries) {
            written = writeInt(section, entry.first, entry.second) && written;
        }
        return written;
    }
};

inline constexpr std::string_view kSettingsSection = "zr70";

} // namespace zr70
