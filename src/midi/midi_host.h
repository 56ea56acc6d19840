#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr70 {

/// What an operation of the host came to: code 0 for success, else a nonzero
/// host code and a readable text of at most kMaxErrorTextLength characters.
struct HostResult {
    int code = 0;
    std::string text;

    bool ok() const { return code == 0; }
};

/// The host's MIDI output service: the operations the output port is written
/// against. At most one device is open at a time; the host keeps its handle.
class MidiHost {
public:
    virtual ~MidiHost() = default;

    /// Number of output devices; 0 when there are none.
    virtual int deviceCount() = 0;

    /// Product name of device `index` into `name`; 0 when there is one.
    virtual int describeDevice(int index, std::string& name) = 0;

    /// Opens device `index` for output, with no completion notice of any kind.
    virtual HostResult openDevice(int index) = 0;

    /// Passes one complete System Exclusive message to the open device. The
    /// bytes are sent or copied before this returns; it never blocks.
    virtual HostResult sendLongMessage(std::span<const std::uint8_t> message) = 0;

    /// Closes the open device.
    virtual HostResult closeDevice() = 0;
};

/// The name the device list shows for device `index`: the host's name, or
/// "MIDI Out <index>" when the host gives none, so that every entry has one.
std::string listedDeviceName(MidiHost& host, int index);

/// Where the output listed as `name` is among `names`: of several of that
/// name (two identical interfaces), the one at `preferred` when it is one of
/// them, else the first; nothing when none has that name.
std::optional<int> findOutput(const std::vector<std::string>& names, std::string_view name,
                              int preferred);

/// Longest error text the program shows.
inline constexpr std::size_t kMaxErrorTextLength = 98;

/// The first kMaxErrorTextLength characters of a UTF-8 text; a character is
/// never cut in half.
std::string cutErrorText(std::string_view text);

} // namespace zr70
