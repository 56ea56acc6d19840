#pragma once

#include "converter/parameter_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zr70 {

/// The converter's data-set message: F0 41 10 70 12 00 00 ii vv cs F7, where
/// ii is the parameter's index, vv its value byte and cs the checksum.
inline constexpr std::size_t kMessageSize = 11;
inline constexpr std::size_t kAddressByte = 7;
inline constexpr std::size_t kValueByte = 8;
inline constexpr std::size_t kChecksumByte = 9;

using MessageBytes = std::array<std::uint8_t, kMessageSize>;

/// The checksum over the address and data bytes (5-8): 80h minus their
/// 8-bit sum, in 7 bits, so that a sum of 0 gives 00h and never 80h.
std::uint8_t checksum(std::span<const std::uint8_t> addressAndData);

/// The message that sets the parameter to `selection`, which must be valid.
MessageBytes messageFor(ParameterIndex index, int selection);

} // namespace zr70
