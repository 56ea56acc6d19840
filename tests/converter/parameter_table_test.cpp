#include "converter/parameter_lists.h"
#include "converter/parameter_table.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace zr70 {
namespace {

TEST(ParameterTable, EveryRowSitsAtItsOwnIndex) {
    for (ParameterIndex i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(parameter(i).index, i);
        EXPECT_TRUE(isValidSelection(i, parameter(i).defaultSelection)) << i;
    }
}

TEST(ParameterTable, ValueByteIsThePositionNeverTheNumberShown) {
    EXPECT_EQ(parameter(1).values[2], "12");
    EXPECT_EQ(valueByte(1, 2), 2);
    EXPECT_EQ(parameter(0).values[15], "16");
    EXPECT_EQ(valueByte(0, 15), 15);
    EXPECT_EQ(parameter(13).values[7], "8");
    EXPECT_EQ(valueByte(13, 7), 7);
}

TEST(ParameterTable, OctaveShiftAloneIsOffsetBy63) {
    EXPECT_EQ(valueByte(3, 0), 63);
    EXPECT_EQ(valueByte(3, 1), 64);
    EXPECT_EQ(valueByte(3, 2), 65);
    for (ParameterIndex i = 0; i < kParameterCount; ++i) {
        if (i != 3) {
            EXPECT_EQ(valueByte(i, 1), 1) << i;
        }
    }
}

TEST(ParameterTable, SelectionsOutsideTheListAreInvalid) {
    EXPECT_FALSE(isValidSelection(0, kNoSelection));
    EXPECT_FALSE(isValidSelection(0, 16));
    EXPECT_TRUE(isValidSelection(0, 15));
    EXPECT_FALSE(isValidSelection(7, 4));
    EXPECT_FALSE(isValidSelection(14, 255));
}

TEST(DefaultSelections, GiveTheDocumentedValueBytes) {
    testing::FakeLists lists;
    applyDefaultSelections(lists);
    const int expected[kParameterCount] = {0, 0, 0, 64, 1, 0, 0, 1, 3, 3, 3, 3, 3, 3, 0};
    for (ParameterIndex i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(valueByte(i, lists.selection(i)), expected[i]) << i;
    }
}

TEST(DefaultSelections, AreAppliedInPresetFileOrder) {
    struct OrderLists : testing::FakeLists {
        void setSelection(ParameterIndex index, int selection) override {
            order.push_back(index);
            FakeLists::setSelection(index, selection);
        }
        std::vector<ParameterIndex> order;
    } lists;
    applyDefaultSelections(lists);
    EXPECT_EQ(lists.order,
              (std::vector<ParameterIndex>{5, 1, 4, 0, 2, 3, 6, 14, 8, 9, 10, 11, 12, 13, 7}));
}

} // namespace
} // namespace zr70
