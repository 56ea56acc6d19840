#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zr70 {

/// Integer values by section and key that outlive the program run, and the
/// few texts stored beside them.
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

    /// The stored text (UTF-8), or nothing when it is missing, empty or no
    /// single text. A store without texts has none.
    virtual std::optional<std::string> readText(std::string_view /*section*/,
                                                std::string_view /*key*/) const {
        return std::nullopt;
    }
    /// Stores the text at once; false when it could not be (a store without
    /// texts never can).
    virtual bool writeText(std::string_view /*section*/, std::string_view /*key*/,
                           std::string_view /*value*/) {
        return false;
    }

    using TextEntry = std::pair<std::string_view, std::string_view>;
    /// Stores the integers, then the texts, of one section at once, in the
    /// order given, as writeInts does.
    virtual bool writeValues(std::string_view section, std::initializer_list<Entry> integers,
                             std::initializer_list<TextEntry> texts) {
        bool written = writeInts(section, integers);
        for (const TextEntry& text : texts) {
            written = writeText(section, text.first, text.second) && written;
        }
        return written;
    }
};

inline constexpr std::string_view kSettingsSection = "zr70";

} // namespace zr70
