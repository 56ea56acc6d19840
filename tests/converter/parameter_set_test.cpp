#include "converter/parameter_set.h"

#include <gtest/gtest.h>

namespace zr70 {
namespace {

TEST(ParameterSetTest, DefaultsSurviveTheTripThroughPresetBytes) {
    const auto bytes = toPresetBytes(ParameterSet::defaults());
    EXPECT_EQ(bytes, (std::array<std::uint8_t, kParameterCount>{0, 0, 1, 0, 0, 1, 0, 0, 3, 3, 3, 3,
                                                                3, 3, 1}));
    EXPECT_EQ(fromPresetBytes(bytes), ParameterSet::defaults());
}

TEST(ParameterSetTest, InvalidAndMissingBytesLeaveNoSelection) {
    const std::array<std::uint8_t, 3> bytes{1, 0xFF, 7};
    const ParameterSet set = fromPresetBytes(bytes);
    EXPECT_EQ(set.selection(5), 1);            // Attack Filter: On
    EXPECT_EQ(set.selection(1), kNoSelection); // FFh
    EXPECT_EQ(set.selection(4), kNoSelection); // Bender Thin has three entries
    EXPECT_EQ(set.selection(7), kNoSelection); // past the end
    EXPECT_EQ(toPresetBytes(set)[1], 0xFF);
}

TEST(ParameterSetTest, SendAllMessagesSkipParametersWithoutSelection) {
    ParameterSet set;
    set.set(14, 1);
    set.set(2, 1);
    const std::vector<MessageBytes> messages = sendAllMessages(set);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], messageFor(2, 1));
    EXPECT_EQ(messages[1][7], 14);
}

TEST(ParameterSetTest, SendAllGoesInItsFixedOrderWithTheDefaultValueBytes) {
    const std::vector<MessageBytes> messages = sendAllMessages(ParameterSet::defaults());
    ASSERT_EQ(messages.size(), 15u);
    const int order[15] = {0, 1, 2, 3, 4, 5, 6, 7, 14, 8, 9, 10, 11, 12, 13};
    const int values[15] = {0, 0, 0, 64, 1, 0, 0, 1, 0, 3, 3, 3, 3, 3, 3};
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(messages[i][7], order[i]) << i;
        EXPECT_EQ(messages[i][8], values[i]) << i;
        EXPECT_EQ(
            (messages[i][5] + messages[i][6] + messages[i][7] + messages[i][8] + messages[i][9]) %
                128,
            0);
    }
}

} // namespace
} // namespace zr70
