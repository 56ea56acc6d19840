#include "converter/message.h"

#include <gtest/gtest.h>

namespace zr70 {
namespace {

TEST(Message, ExampleMessagesAreByteExact) {
    struct Case {
        ParameterIndex index;
        int selection;
        MessageBytes bytes;
    };
    const Case cases[] = {
        {0, 0, {0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7}},
        {2, 1, {0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7}},
        {3, 1, {0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x03, 0x40, 0x3D, 0xF7}},
        {3, 0, {0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x03, 0x3F, 0x3E, 0xF7}},
        {14, 1, {0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x0E, 0x01, 0x71, 0xF7}},
        {13, 7, {0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x0D, 0x07, 0x6C, 0xF7}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageFor(c.index, c.selection), c.bytes) << c.index << "/" << c.selection;
    }
}

TEST(Message, TheChecksumStaysWithinSevenBits) {
    struct Case {
        std::array<std::uint8_t, 4> data;
        std::uint8_t sum;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, 0x00},       // not 80h
        {{0, 0, 0x80, 0x80}, 0x00}, // the 8-bit sum wraps to 0
        {{0, 0, 0x7F, 0x7F}, 0x02},
        {{0, 0, 0x02, 0x01}, 0x7D},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(checksum(c.data), c.sum);
    }
}

TEST(Message, EveryValueOfEveryParameterIsAValidDataSet) {
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        for (int selection = 0; isValidSelection(index, selection); ++selection) {
            const MessageBytes bytes = messageFor(index, selection);
            int sum = 0;
            for (std::size_t i = 1; i < 10; ++i) {
                EXPECT_LT(bytes[i], 0x80) << index << "/" << selection << " byte " << i;
                sum += i >= 5 ? bytes[i] : 0;
            }
            EXPECT_EQ(sum % 128, 0) << index << "/" << selection;
            EXPECT_EQ(bytes[kAddressByte], index);
        }
    }
}

} // namespace
} // namespace zr70
