#pragma once

#include "parameter_table.h"

#include <array>
#include <cstdint>
#include <span>

namespace zr70 {

/// The one 11-byte System Exclusive data-set message:
/// F0 41 10 70 12 00 00 nn vv cs F7.
class ParameterMessage {
public:
    static constexpr std::size_t kSize = 11;
    static constexpr std::size_t kAddressLow = 7;
    static constexpr std::size_t kValue = 8;
    static constexpr std::size_t kChecksum = 9;

    /// Writes the address and value bytes; the checksum is left as it was.
    void set(ParameterIndex index, std::uint8_t value);

    /// Computes the checksum over bytes 5-8 and writes it into byte 9.
    void updateChecksum();

    std::span<const std::uint8_t, kSize> bytes() const { return bytes_; }

    /// 80h minus the 8-bit sum of the bytes, in 8 bits; a result of 80h is 00h.
    static std::uint8_t checksum(std::span<const std::uint8_t> addressAndData);

private:
    std::array<std::uint8_t, kSize> bytes_{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0xF7};
};

} // namespace zr70
