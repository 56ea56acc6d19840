#include "preset/preset_commands.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

QByteArray presetBytes(std::initializer_list<std::uint8_t> selections) {
    QByteArray bytes;
    for (std::uint8_t selection : selections) {
        bytes.append(static_cast<char>(selection));
    }
    bytes.append("\n--- Korvan ZR70 Preset File ---");
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct PresetCommandsTest : ::testing::Test {
    PresetCommandsTest() {
        previousDirectory = QDir::currentPath();
        QDir::setCurrent(directory.path());
    }
    ~PresetCommandsTest() override { QDir::setCurrent(previousDirectory); }

    QString path(const QString& name) const { return directory.filePath(name); }

    QTemporaryDir directory;
    QString previousDirectory;
    ParameterSet lists = ParameterSet::defaults();
    testing::RecordingMessages messages;
    PresetFile file{lists, messages};
    void answer(std::optional<QString> path) {
        chooser.loadAnswer = path;
        chooser.saveAnswer = path;
    }

    testing::ScriptedChooser chooser;
    PresetCommands commands{file, chooser, messages};
};

TEST(PresetExtensionTest, OnlyZrOrZRAfterTheLastDotOfTheFileNamePasses) {
    EXPECT_TRUE(PresetCommands::hasPresetExtension("/home/me/live.zr"));
    EXPECT_TRUE(PresetCommands::hasPresetExtension("/home/me/LIVE.ZR"));
    EXPECT_TRUE(PresetCommands::hasPresetExtension("/home/me/set.one.zr"));
    EXPECT_TRUE(PresetCommands::hasPresetExtension("live.zr"));
    EXPECT_TRUE(PresetCommands::hasPresetExtension("/home/me/.zr"));

    EXPECT_FALSE(PresetCommands::hasPresetExtension("/home/me/live.Zr"));
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/home/me/live.zR"));
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/home/me/live"));
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/home/me/live."));
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/home/me/set.zr.bak"));
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/home/me/live.zr "));
    EXPECT_FALSE(PresetCommands::hasPresetExtension(""));
}

TEST(PresetExtensionTest, ADotInADirectoryNameIsNoExtension) {
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/a.zr/live"));
    EXPECT_FALSE(PresetCommands::hasPresetExtension("/presets.zr/"));
    EXPECT_TRUE(PresetCommands::hasPresetExtension("/a.b/live.zr"));
}

TEST_F(PresetCommandsTest, CancelledDialogsChangeNothingAndSayNothing) {
    answer(std::nullopt);
    lists.set(0, 5);
    commands.loadPreset();
    commands.savePreset();
    EXPECT_EQ(chooser.loadDialogs, 1);
    EXPECT_EQ(chooser.saveDialogs, 1);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(lists.selection(0), 5);
    EXPECT_TRUE(QDir(directory.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PresetCommandsTest, WrongExtensionOnLoadSaysWrongFileTypeAndReadsNothing) {
    for (const char* name : {"live.Zr", "live", "live.", "set.zr.bak"}) {
        writeFile(path(name), presetBytes({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
        answer(path(name));
        EXPECT_FALSE(commands.loadPreset());
    }
    EXPECT_EQ(messages.shown, std::vector<std::string>(4, "Wrong file type"));
    EXPECT_EQ(lists.selection(0), 0); // still the default
}

TEST_F(PresetCommandsTest, WrongExtensionOnSaveSaysWrongFilenameExtensionAndWritesNothing) {
    for (const char* name : {"live.Zr", "live", "live.", "set.zr.bak"}) {
        answer(path(name));
        commands.savePreset();
    }
    EXPECT_EQ(messages.shown, std::vector<std::string>(4, "Wrong filename extension"));
    EXPECT_TRUE(QDir(directory.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PresetCommandsTest, ALoadSetsTheSelectionsAndSaysSo) {
    writeFile(path("LIVE.ZR"), presetBytes({1, 3, 2, 15, 1, 2, 1, 1, 7, 6, 5, 4, 3, 2, 3}));
    answer(path("LIVE.ZR"));
    EXPECT_TRUE(commands.loadPreset());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(lists.selection(0), 15);
    EXPECT_EQ(lists.selection(3), 2);
    EXPECT_EQ(lists.selection(7), 3);
    answer(path("missing.zr"));
    EXPECT_FALSE(commands.loadPreset());
}

TEST_F(PresetCommandsTest, AMissingFileWithAGoodExtensionIsReportedByTheLoad) {
    answer(path("missing.zr"));
    commands.loadPreset();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "Failed on opening " + path("missing.zr").toUpper().toStdString());
}

TEST_F(PresetCommandsTest, SaveReplacesAnExistingFileWithoutAsking) {
    writeFile(path("live.zr"), QByteArray(200, 'x'));
    answer(path("live.zr"));
    commands.savePreset();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(readFile(path("live.zr")),
              presetBytes({0, 0, 1, 0, 0, 1, 0, 0, 3, 3, 3, 3, 3, 3, 1}));
}

TEST_F(PresetCommandsTest, PathsLongerThanNinetyNineCharactersAreUsedWhole) {
    const QString deep = path(QString(60, 'd') + "/" + QString(60, 'e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString longPath = deep + "/live.zr";
    ASSERT_GT(longPath.size(), 120);
    answer(longPath);
    lists.set(0, 9);
    commands.savePreset();
    lists.set(0, 0);
    commands.loadPreset();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(lists.selection(0), 9);
}

TEST_F(PresetCommandsTest, SaveAsDefaultWritesDefaultZrInTheCurrentDirectoryAtOnce) {
    lists.set(5, 1);
    commands.saveDefault();
    EXPECT_EQ(chooser.saveDialogs, 0);
    EXPECT_EQ(readFile(path("default.zr")),
              presetBytes({1, 0, 1, 0, 0, 1, 0, 0, 3, 3, 3, 3, 3, 3, 1}));
}

TEST_F(PresetCommandsTest, RestoreOnlySaysItIsNotWorkingYet) {
    commands.restoreDevice();
    EXPECT_EQ(messages.shown, std::vector<std::string>{"This is still not working !!!"});
    EXPECT_EQ(lists.selection(7), 1);
}

} // namespace
} // namespace zr70
