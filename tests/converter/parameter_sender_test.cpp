#include "converter/parameter_sender.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace zr70 {
namespace {

using testing::Bytes;

struct ParameterSenderTest : ::testing::Test {
    ParameterSenderTest() { applyDefaultSelections(lists); }
    testing::FakeLists lists;
    testing::RecordingSender port;
    testing::RecordingFeedback feedback;
    ParameterSender sender{lists, port, feedback};
};

TEST_F(ParameterSenderTest, SendOneSendsExactlyThatParametersMessage) {
    lists.setSelection(2, 1);
    sender.sendOne(2);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0],
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7}));
}

TEST_F(ParameterSenderTest, SendOneRepeatsAnUnchangedSelection) {
    sender.sendOne(3);
    sender.sendOne(3);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[0], port.sent[1]);
    EXPECT_EQ(port.sent[1][8], 64);
}

TEST_F(ParameterSenderTest, SendAllGoesInItsFixedOrderWithDefaultValues) {
    sender.sendAll();
    ASSERT_EQ(port.sent.size(), 15u);
    const int order[15] = {0, 1, 2, 3, 4, 5, 6, 7, 14, 8, 9, 10, 11, 12, 13};
    const int values[15] = {0, 0, 0, 64, 1, 0, 0, 1, 0, 3, 3, 3, 3, 3, 3};
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(port.sent[i][7], order[i]) << i;
        EXPECT_EQ(port.sent[i][8], values[i]) << i;
        EXPECT_EQ((port.sent[i][5] + port.sent[i][6] + port.sent[i][7] + port.sent[i][8] +
                   port.sent[i][9]) %
                      128,
                  0);
    }
}

TEST_F(ParameterSenderTest, IndicatorIsHiddenDuringEachHandOverAndShownAfter) {
    std::vector<bool> visibleAtHandOver;
    port.onSend = [&] { visibleAtHandOver.push_back(feedback.indicatorVisible); };
    sender.sendAll();
    EXPECT_EQ(visibleAtHandOver, std::vector<bool>(15, false));
    EXPECT_TRUE(feedback.indicatorVisible);
}

TEST_F(ParameterSenderTest, FailCaptionIsSetOnFirstFailureAndStays) {
    port.results = {0, 7, 0, 0};
    sender.sendAll();
    EXPECT_EQ(port.sent.size(), 15u) << "a failure must not stop send-all";
    EXPECT_EQ(feedback.caption, "fail!");
    EXPECT_EQ(feedback.captionChanges, 1);
    sender.sendOne(0);
    EXPECT_EQ(feedback.caption, "fail!");
    EXPECT_TRUE(feedback.indicatorVisible);
}

TEST_F(ParameterSenderTest, SuccessLeavesTheCaptionAlone) {
    sender.sendAll();
    EXPECT_EQ(feedback.captionChanges, 0);
}

TEST_F(ParameterSenderTest, ListsWithoutSelectionSendNothingAndSendAllGoesOn) {
    lists.setSelection(0, kNoSelection);
    lists.setSelection(14, kNoSelection);
    sender.sendOne(0);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(feedback.indicatorVisible);

    sender.sendAll();
    ASSERT_EQ(port.sent.size(), 13u);
    EXPECT_EQ(port.sent.front()[7], 1);
    EXPECT_EQ(port.sent[6][7], 7);
    EXPECT_EQ(port.sent[7][7], 8);
    for (const Bytes& message : port.sent) {
        EXPECT_NE(message[7], 0);
        EXPECT_NE(message[7], 14);
    }
}

} // namespace
} // namespace zr70
