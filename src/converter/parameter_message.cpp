#include "parameter_message.h"

namespace zr70 {

void ParameterMessage::set(ParameterIndex index, std::uint8_t value) {
    bytes_[kAddressLow] = static_cast<std::uint8_t>(index);
    bytes_[kValue] = value;
}

void ParameterMessage::updateChecksum() {
    bytes_[kChecksum] = checksum(std::span(bytes_).subspan(5, 4));
}

std::uint8_t ParameterMessage::checksum(std::span<const std::uint8_t> addressAndData) {
    std::uint8_t sum = 0;
    for (std::uint8_t byte : addressAndData) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    const auto result = static_cast<std::uint8_t>(0x80 - sum);
    return result == 0x80 ? 0x00 : result;
}

} // namespace zr70
