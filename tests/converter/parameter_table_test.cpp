#include "converter/parameter_table.h"

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

} // namespace
} // namespace zr70
