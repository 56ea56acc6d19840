#include "converter/message.h"

namespace zr70 {

std::uint8_t checksum(std::span<const std::uint8_t> addressAndData) {
    std::uint8_t sum = 0;
    for (std::uint8_t byte : addressAndData) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    return static_cast<std::uint8_t>((0x80 - sum) & 0x7F);
}

MessageBytes messageFor(ParameterIndex index, int selection) {
    MessageBytes message{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7};
    message[kAddressByte] = static_cast<std::uint8_t>(index);
    message[kValueByte] = valueByte(index, selection);
    message[kChecksumByte] = checksum(std::span(message).subspan(5, 4));
    return message;
}

} // namespace zr70
