#include "converter/parameter_message.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr70 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes messageFor(ParameterIndex index, int selection) {
    ParameterMessage message;
    message.set(index, valueByte(index, selection));
    message.updateChecksum();
    return {message.bytes().begin(), message.bytes().end()};
}

TEST(ParameterMessage, ExampleMessagesAreByteExact) {
    EXPECT_EQ(messageFor(0, 0),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(messageFor(2, 1),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7}));
    EXPECT_EQ(messageFor(3, 1),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x03, 0x40, 0x3D, 0xF7}));
    EXPECT_EQ(messageFor(3, 0),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x03, 0x3F, 0x3E, 0xF7}));
    EXPECT_EQ(messageFor(14, 1),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x0E, 0x01, 0x71, 0xF7}));
    EXPECT_EQ(messageFor(13, 7),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x0D, 0x07, 0x6C, 0xF7}));
}

TEST(ParameterMessage, AllZeroDataGetsChecksumZeroNot80h) {
    const std::uint8_t zeros[4] = {0, 0, 0, 0};
    EXPECT_EQ(ParameterMessage::checksum(zeros), 0x00);
    const std::uint8_t wraps[4] = {0, 0, 0x80, 0x80}; // 8-bit sum wraps to 0
    EXPECT_EQ(ParameterMessage::checksum(wraps), 0x00);
    const std::uint8_t big[4] = {0, 0, 0x7F, 0x7F};
    EXPECT_EQ(ParameterMessage::checksum(big), static_cast<std::uint8_t>(0x80 - 0xFE));
}

TEST(ParameterMessage, EveryValueOfEveryParameterIsAValidDataSet) {
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        for (int selection = 0; isValidSelection(index, selection); ++selection) {
            const Bytes bytes = messageFor(index, selection);
            ASSERT_EQ(bytes.size(), 11u);
            EXPECT_EQ(bytes.front(), 0xF0);
            EXPECT_EQ(bytes.back(), 0xF7);
            int sum = 0;
            for (std::size_t i = 1; i < 10; ++i) {
                EXPECT_LT(bytes[i], 0x80) << index << "/" << selection << " byte " << i;
            }
            for (std::size_t i = 5; i < 10; ++i) {
                sum += bytes[i];
            }
            EXPECT_EQ(sum % 128, 0) << index << "/" << selection;
            EXPECT_EQ(bytes[7], index);
        }
    }
}

TEST(ParameterMessage, SetLeavesTheFixedBytesAlone) {
    ParameterMessage message;
    message.set(9, 5);
    message.updateChecksum();
    message.set(1, 2);
    message.updateChecksum();
    EXPECT_EQ(Bytes(message.bytes().begin(), message.bytes().end()),
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x01, 0x02, 0x7D, 0xF7}));
}

} // namespace
} // namespace zr70
