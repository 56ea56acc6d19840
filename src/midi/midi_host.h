#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zr70 {

/// The host's MIDI output service: the eight operations the output port is
/// written against. Every operation but deviceCount and errorText returns 0
/// for success and a nonzero host code for failure. At most one device is open
/// at a time; the host keeps its handle.
class MidiHost {
public:
    virtual ~MidiHost() = default;

    /// Number of output devices; 0 when there are none.
    virtual int deviceCount() = 0;

    /// Product name of device `index` into `name`; the result is not looked at.
    virtual int describeDevice(int index, std::string& name) = 0;

    /// Opens device `index` for output, with no completion notice of any kind.
    virtual int openDevice(int index) = 0;

    /// Makes the message buffer ready to be sent on the open device.
    virtual int prepareBuffer() = 0;

    /// Undoes prepareBuffer; done before the device is closed.
    virtual int releaseBuffer() = 0;

    /// Passes one complete System Exclusive message to the open device. The
    /// bytes are sent or copied before this returns; it never blocks.
    virtual int sendLongMessage(std::span<const std::uint8_t> message) = 0;

    /// Closes the open device.
    virtual int closeDevice() = 0;

    /// Readable description of a host code, at most 98 characters.
    virtual std::string errorText(int code) = 0;
};

/// The name the device list shows for device `index`: the host's name, or
/// "MIDI Out <index>" when the host gives none, so that every entry has one.
std::string listedDeviceName(MidiHost& host, int index);

/// Longest error text the program shows.
inline constexpr std::size_t kMaxErrorTextLength = 98;

/// The first kMaxErrorTextLength characters of a UTF-8 text; a character is
/// never cut in half.
std::string cutErrorText(std::string_view text);

} // namespace zr70
