#pragma once

#include <cstdint>
#include <string_view>

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
};

inline constexpr std::string_view kSettingsSection = "zr70";

} // namespace zr70
