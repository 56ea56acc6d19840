#include "app/panel_controller.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

struct PanelControllerTest : ::testing::Test {
    PanelControllerTest() {
        previousDirectory = QDir::currentPath();
        QDir::setCurrent(directory.path());
        host.devices = {"Through", "Converter"};
    }
    ~PanelControllerTest() override { QDir::setCurrent(previousDirectory); }

    void writeDefaultPreset() {
        QFile file(directory.filePath("default.zr"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x01\x03\x02\x0F\x01\x02\x01\x01\x07\x06\x05\x04\x03\x02\x03", 15));
    }

    QTemporaryDir directory;
    QString previousDirectory;
    testing::FakeLists lists;
    testing::FakeSendAfterLoad option;
    testing::FakeMidiHost host;
    testing::MemorySettings settings;
    testing::RecordingMessages messages;
    testing::RecordingFeedback feedback;
    testing::ScriptedChooser chooser;
    testing::FakeDeviceList devices;
    PanelController controller{lists, option, host, settings, messages, feedback, chooser};
};

TEST_F(PanelControllerTest, NoOutputDeviceEndsTheProgramBeforeAnyPresetIsRead) {
    host.devices.clear();
    writeDefaultPreset();
    EXPECT_EQ(controller.startUp(devices), MidiOutputPort::StartResult::EndProgram);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"No MIDI out devices found"});
    EXPECT_EQ(lists.selection(0), kNoSelection);
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(PanelControllerTest, WithoutDefaultPresetTheDefaultsAreSetAndNothingIsSent) {
    EXPECT_EQ(controller.startUp(devices), MidiOutputPort::StartResult::Running);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Failed on opening DEFAULT.ZR"});
    EXPECT_EQ(devices.entries, (std::vector<std::string>{"Through", "Converter"}));
    EXPECT_EQ(devices.selected(), 0);
    EXPECT_EQ(host.openIndex, 0);
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        EXPECT_EQ(lists.selection(index), parameter(index).defaultSelection) << index;
    }
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(PanelControllerTest, DefaultPresetLoadsAndGoesToTheOpenDeviceWhenTheBoxIsTicked) {
    settings.writeInt(kSettingsSection, "mididevice", 1);
    writeDefaultPreset();
    EXPECT_EQ(controller.startUp(devices), MidiOutputPort::StartResult::Running);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(host.openIndex, 1);
    EXPECT_EQ(lists.selection(0), 15);
    ASSERT_EQ(host.sent.size(), 15u);
    EXPECT_EQ(host.sent[0][7], 0);
    EXPECT_EQ(host.sent[0][8], 15);
}

TEST_F(PanelControllerTest, DefaultPresetWithTheBoxUntickedSetsTheListsOnly) {
    option.ticked = false;
    writeDefaultPreset();
    controller.startUp(devices);
    EXPECT_EQ(lists.selection(0), 15);
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(PanelControllerTest, APickSendsThatParameterAndARefusalLeavesFailInTheCaption) {
    controller.startUp(devices);
    lists.setSelection(2, 1);
    host.sendResults = {3};
    controller.parameterPicked(2);
    controller.parameterPicked(14);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0],
              (testing::Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x02, 0x01, 0x7D, 0xF7}));
    EXPECT_EQ(host.sent[1][7], 14);
    EXPECT_EQ(feedback.caption, "fail!");
}

TEST_F(PanelControllerTest, ADeviceSelectionSwitchesThePortAndIsRemembered) {
    controller.startUp(devices);
    controller.deviceSelected(1);
    EXPECT_EQ(host.openIndex, 1);
    EXPECT_EQ(settings.readInt(kSettingsSection, "mididevice", -1), 1);
}

TEST_F(PanelControllerTest, EveryMoveStoresXThenY) {
    controller.windowMoved(-10, 300);
    controller.windowMoved(5, 6);
    using Writes = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(settings.writes,
              (Writes{{"zr70/xpos", -10}, {"zr70/ypos", 300}, {"zr70/xpos", 5}, {"zr70/ypos", 6}}));
}

TEST_F(PanelControllerTest, DestroyingTheWindowClosesTheOpenDevice) {
    controller.startUp(devices);
    controller.windowDestroyed();
    EXPECT_EQ(host.closeCount, 1);
    EXPECT_FALSE(controller.port().isOpen());
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Failed on opening DEFAULT.ZR"});
}

} // namespace
} // namespace zr70
