#include "app/panel.h"
#include "preset/preset_file.h"
#include "preset/sysex_file.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/shell_fakes.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

using testing::Bytes;
using Writes = std::vector<std::pair<std::string, std::int32_t>>;

const QByteArray kCustomPreset("\x01\x03\x02\x0F\x01\x02\x01\x01\x07\x06\x05\x04\x03\x02\x03", 15);

struct PanelTest : ::testing::Test {
    PanelTest() {
        host.devices = {"Through", "Converter", "Synth"};
        QObject::connect(&panel, &Panel::selectionsChanged, [this] { events.push_back("shown"); });
        QObject::connect(&panel, &Panel::transmitting, [this](bool on) { transmitting = on; });
        QObject::connect(&panel, &Panel::failed, [this] { ++failures; });
        QObject::connect(&panel, &Panel::outputsListed, [this] { events.push_back("listed"); });
        QObject::connect(&panel, &Panel::outputSelected,
                         [this](int position) { selected.push_back(position); });
        host.onSend = [this] {
            events.push_back(transmitting ? "send while on" : "send while off");
        };
    }
    void writeFile(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(directory.write(name, bytes));
    }

    std::vector<std::string> opens() const {
        std::vector<std::string> found;
        for (const std::string& call : host.calls) {
            if (call.starts_with("open") || call == "close") {
                found.push_back(call);
            }
        }
        return found;
    }

    testing::TestFolder directory{true};
    testing::FakeMidiHost host;
    testing::MemorySettings settings;
    testing::RecordingMessages messages;
    testing::ScriptedChooser chooser;
    Panel panel{host, settings, messages, chooser};

    std::vector<std::string> events;
    std::vector<int> selected;
    bool transmitting = false;
    int failures = 0;
};

TEST_F(PanelTest, NoOutputEndsTheStartBeforeAnyPresetIsRead) {
    host.devices.clear();
    writeFile("default.zr", kCustomPreset);
    EXPECT_EQ(panel.start(), Panel::StartResult::EndProgram);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"No MIDI out devices found"});
    EXPECT_EQ(panel.selections(), ParameterSet());
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(settings.writes.empty());
    panel.shutDown();
    EXPECT_EQ(messages.shown.size(), 1u);

    // A JACK server that did not answer is not one that is missing.
    host.listProblem = MidiResult::failure(MidiError::NotAnswering);
    EXPECT_EQ(panel.start(), Panel::StartResult::EndProgram);
    EXPECT_EQ(messages.shown.back(), "The JACK server is not answering.");
}

TEST_F(PanelTest, TheStartOpensTheStoredOutputAsStoredSaysWhyItDidNotOpenAndStoresItAgain) {
    struct Case {
        std::optional<int> stored;
        int output;
        std::vector<std::string> shown;
    };
    const std::string longText(120, 'x');
    for (const Case& start : std::vector<Case>{
             {std::nullopt, 0, {}},
             {-1, 0, {}},
             // Used as read, also when it names no output; the host's text is
             // cut to 98 characters.
             {9, 9, {std::string(98, 'x')}},
             {-3, -3, {std::string(98, 'x')}},
             {2, 2, {std::string(98, 'x')}}, // busy
         }) {
        testing::FakeMidiHost startHost;
        startHost.devices = host.devices;
        startHost.busy = {2};
        startHost.openText = longText;
        testing::MemorySettings stored;
        testing::RecordingMessages shown;
        Panel started(startHost, stored, shown, chooser);
        if (start.stored) {
            stored.values["mididevice"] = *start.stored;
        }
        ASSERT_EQ(started.start(), Panel::StartResult::Running);
        EXPECT_EQ(startHost.calls.front(), "open " + std::to_string(start.output));
        std::vector<std::string> expected = start.shown;
        expected.emplace_back("Failed on opening DEFAULT.ZR");
        EXPECT_EQ(shown.shown, expected) << start.output;
        EXPECT_EQ(stored.writes, (Writes{{"mididevice", start.output}}));
    }
}

TEST_F(PanelTest, WithoutDefaultPresetTheStartListsOpensAndTakesTheDefaults) {
    EXPECT_EQ(panel.start(), Panel::StartResult::Running);
    EXPECT_TRUE(panel.sendAfterLoad());
    EXPECT_EQ(panel.outputs(), (std::vector<std::string>{"Through", "Converter", "Synth"}));
    EXPECT_EQ(panel.selectedOutput(), 0);
    EXPECT_EQ(host.openIndex, 0);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Failed on opening DEFAULT.ZR"});
    EXPECT_EQ(panel.selections(), ParameterSet::defaults());
    EXPECT_EQ(events, (std::vector<std::string>{"listed", "shown"}));
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(PanelTest, TheDefaultPresetIsShownThenSentToTheStoredOutput) {
    settings.write({{"mididevice", 1}});
    writeFile("default.zr", kCustomPreset);
    EXPECT_EQ(panel.start(), Panel::StartResult::Running);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(host.openIndex, 1);
    EXPECT_EQ(panel.selectedOutput(), 1);
    EXPECT_EQ(panel.selections().selection(0), 15);
    ASSERT_EQ(host.sent.size(), 15u);
    EXPECT_EQ(host.sent[0],
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x00, 0x0F, 0x71, 0xF7}));
    ASSERT_EQ(events.size(), 17u);
    EXPECT_EQ(events[1], "shown");
    EXPECT_EQ(events.back(), "send while on");
}

TEST_F(PanelTest, APickSendsThatParameterAlsoWhenUnchangedWithTheIndicatorOffMeanwhile) {
    panel.start();
    events.clear();
    panel.pick(2, 1);
    panel.pick(3, 1);
    panel.pick(3, 1);
    ASSERT_EQ(host.sent.size(), 3u);
    EXPECT_EQ(host.sent, testing::messages({messageFor(2, 1), messageFor(3, 1), messageFor(3, 1)}));
    EXPECT_EQ(events, std::vector<std::string>(3, "send while on"));
    EXPECT_FALSE(transmitting);
    EXPECT_EQ(panel.selections().selection(2), 1);
    // A pick that names no entry sends nothing.
    panel.pick(7, 9);
    EXPECT_EQ(host.sent.size(), 3u);
    EXPECT_EQ(failures, 0);
}

TEST_F(PanelTest, ARefusedMessageFailsAndSendAllGoesOnInItsOrderWithoutTheEmptyOnes) {
    panel.start();
    writeFile("a.zr", QByteArray("\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00",
                                 15)); // Midi channel has no entry 10h
    host.sendResults = {0, 7, 0};
    ASSERT_TRUE(panel.load(FileName("a.zr")));
    EXPECT_EQ(failures, 1);
    ASSERT_EQ(host.sent.size(), 14u);
    const int order[] = {1, 2, 3, 4, 5, 6, 7, 14, 8, 9, 10, 11, 12, 13};
    for (std::size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(host.sent[i][7], order[i]) << i;
    }
    EXPECT_EQ(host.count("flush"), 1u) << "a send-all is seen off once";

    // Messages that were taken but did not leave fail all the same.
    host.delivery = Delivery{1, 0, MidiResult::failure(MidiError::NotAnswering)};
    panel.pick(0, 3);
    EXPECT_EQ(failures, 2);
    EXPECT_FALSE(transmitting);
}

TEST_F(PanelTest, WithTheFlagClearedALoadIsShownAndNotSent) {
    panel.start();
    writeFile("a.zr", kCustomPreset);
    panel.setSendAfterLoad(false);
    events.clear();
    ASSERT_TRUE(panel.load(FileName("a.zr")));
    EXPECT_EQ(panel.selections().selection(0), 15);
    EXPECT_EQ(events, std::vector<std::string>{"shown"});
    panel.setSendAfterLoad(true);
    chooser.loadAnswer = directory.path("a.zr");
    panel.loadChosenPreset();
    EXPECT_EQ(host.sent.size(), 15u);
    // A failed load changes and sends nothing.
    EXPECT_FALSE(panel.load(FileName("missing.zr")));
    EXPECT_EQ(messages.shown.back(), "Failed on opening MISSING.ZR");
    EXPECT_EQ(host.sent.size(), 15u);
}

TEST_F(PanelTest, SavesWriteTheSelectionsAndRestoreOnlySaysItIsNotWorking) {
    panel.start();
    panel.pick(5, 1);
    EXPECT_TRUE(panel.saveDefault());
    chooser.saveAnswer = directory.path("b.zr");
    panel.saveChosenPreset();
    for (const char* name : {"default.zr", "b.zr"}) {
        EXPECT_EQ(directory.read(name).left(15),
                  QByteArray("\x01\x00\x01\x00\x00\x01\x00\x00\x03\x03\x03\x03\x03\x03\x01", 15));
    }
    messages.shown.clear();
    panel.restoreDevice();
    EXPECT_EQ(messages.shown, std::vector<std::string>{"This is still not working !!!"});
    EXPECT_EQ(host.sent.size(), 1u);
}

TEST_F(PanelTest, ThePresetButtonsTestTheNameAndSayWhatWentWrongWithoutChangingAnything) {
    panel.start();
    panel.pick(0, 9);
    writeFile("old.zr", QByteArray(200, 'x'));
    const QString deep = directory.path(QString(60, 'd') + "/" + QString(60, 'e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    struct Case {
        bool save;
        std::optional<QString> chosen; ///< nothing: the dialog was cancelled
        std::vector<std::string> shown;
    };
    const QString missing = directory.path(QString::fromUtf8("r\u00f6ck-%s.zr"));
    for (const Case& c : std::vector<Case>{
             {false, std::nullopt, {}},
             {true, std::nullopt, {}},
             {false, directory.path("live.Zr"), {"Wrong file type"}},
             {false, directory.path("set.zr.bak"), {"Wrong file type"}},
             {true, directory.path("live."), {"Wrong filename extension"}},
             // Only a-z are upper-cased.
             {false,
              missing,
              {"Failed on opening " + directory.path().toUpper().toStdString() +
               "/R\u00f6CK-%S.ZR"}},
             {true, directory.path("old.zr"), {}}, // replaced without a question
             {true, deep + "/live.zr", {}},        // however long the path
             {false, deep + "/live.zr", {}},
         }) {
        messages.shown.clear();
        chooser.loadAnswer = chooser.saveAnswer = c.chosen;
        const ParameterSet before = panel.selections();
        c.save ? panel.saveChosenPreset() : panel.loadChosenPreset();
        EXPECT_EQ(messages.shown, c.shown) << c.chosen.value_or("cancelled").toStdString();
        EXPECT_EQ(panel.selections(), before);
    }
    EXPECT_EQ(directory.read("old.zr"), PresetFile::encode(panel.selections()));
    EXPECT_EQ(chooser.loadDialogs + chooser.saveDialogs, 9);
}

TEST_F(PanelTest, AfterAStartWithoutDefaultPresetSaveDefaultWritesItInLowerCase) {
    panel.start();
    EXPECT_EQ(messages.shown.back(), "Failed on opening DEFAULT.ZR");
    EXPECT_TRUE(panel.saveDefault());
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files), QStringList{"default.zr"});
}

TEST_F(PanelTest, ChoosingAnOutputSwitchesAndStoresItOrFallsBackWhenItIsBusy) {
    host.busy = {2};
    panel.start();
    host.calls.clear();
    panel.chooseOutput(1);
    EXPECT_EQ(host.openIndex, 1);
    EXPECT_EQ(settings.readInt("mididevice").value_or(-1), 1);
    EXPECT_EQ(panel.selectedOutput(), 1);

    messages.shown.clear();
    selected.clear();
    settings.writes.clear();
    panel.chooseOutput(2);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Selected device is busy"});
    EXPECT_EQ(opens(), (std::vector<std::string>{"close", "open 1", "close", "open 2", "open 1"}));
    EXPECT_EQ(selected, std::vector<int>{1});
    EXPECT_EQ(panel.selectedOutput(), 1);
    EXPECT_TRUE(settings.writes.empty());

    // Busy with the previous output gone too: the port stays closed, nothing
    // is stored, and a later pick that opens is stored.
    host.busy = {1, 2};
    settings.writes.clear();
    panel.chooseOutput(2);
    EXPECT_EQ(host.openIndex, -1);
    panel.shutDown();
    EXPECT_EQ(messages.shown.size(), 2u);
    host.busy.clear();
    for (int position : {0, 1}) {
        panel.chooseOutput(position);
    }
    EXPECT_EQ(settings.writes, (Writes{{"mididevice", 0}, {"mididevice", 1}}));
    // Every change stores the name too, after the index.
    EXPECT_EQ(settings.texts["mididevicename"], "Converter");
    EXPECT_EQ(settings.order.back(), "mididevicename");
}

TEST_F(PanelTest, ChoosingTheOutputAlreadyChosenOpensItAgain) {
    // The stored output was busy at start-up: it is shown selected but closed.
    settings.values["mididevice"] = 2;
    host.busy = {2};
    ASSERT_EQ(panel.start(), Panel::StartResult::Running);
    EXPECT_EQ(panel.selectedOutput(), 2);
    EXPECT_EQ(host.openIndex, -1);
    EXPECT_EQ(settings.writes, (Writes{{"mididevice", 2}}));

    host.busy.clear();
    host.calls.clear();
    settings.writes.clear();
    panel.chooseOutput(2);
    EXPECT_EQ(opens(), std::vector<std::string>{"open 2"});
    EXPECT_EQ(host.openIndex, 2);
    EXPECT_EQ(settings.writes, (Writes{{"mididevice", 2}}));
    panel.pick(0, 1);
    EXPECT_EQ(failures, 0);

    // Chosen again while open, it is closed, opened and stored again.
    host.calls.clear();
    settings.writes.clear();
    panel.chooseOutput(2);
    EXPECT_EQ(opens(), (std::vector<std::string>{"close", "open 2"}));
    EXPECT_EQ(host.openIndex, 2);
    EXPECT_EQ(settings.writes, (Writes{{"mididevice", 2}}));
}

TEST_F(PanelTest, AStartFindsTheStoredNameOrKeepsItAndTakesTheTwinAtTheStoredIndex) {
    struct Case {
        const char* what;
        std::vector<std::string> devices;
        int storedIndex;
        int opened;
    };
    for (const Case& start : {
             Case{"B moved: a new interface comes first", {"USB", "A", "B"}, 1, 2},
             Case{"B unplugged, C at its index", {"A", "C"}, 1, 1},
             Case{"the second of twins", {"A", "B", "B"}, 2, 2},
             Case{"twins, neither at the index", {"B", "A", "B"}, 1, 0},
         }) {
        testing::FakeMidiHost startHost;
        startHost.devices = start.devices;
        testing::MemorySettings stored;
        stored.values["mididevice"] = start.storedIndex;
        stored.texts["mididevicename"] = "B";
        Panel started(startHost, stored, messages, chooser);
        ASSERT_EQ(started.start(), Panel::StartResult::Running);
        EXPECT_EQ(startHost.calls.front(), "open " + std::to_string(start.opened)) << start.what;
        EXPECT_EQ(stored.values["mididevice"], start.opened) << start.what;
        EXPECT_EQ(stored.texts["mididevicename"], "B") << start.what;
    }
}

TEST_F(PanelTest, SysExExportWritesTheSelectionsAndImportSetsAndSendsWhatItFound) {
    panel.start();
    panel.pick(0, 9);
    chooser.saveAnswer = directory.path("set.syx");
    panel.exportChosenSysEx();
    EXPECT_EQ(directory.read("set.syx"), SysExFile::encode(panel.selections()));

    // Two settings and another maker's message: the other lists get none.
    ParameterSet two;
    two.set(3, 1);
    two.set(5, 1);
    writeFile("two.SYX", QByteArray::fromHex("f0431000f7") + SysExFile::encode(two));
    host.sent.clear();
    events.clear();
    chooser.loadAnswer = directory.path("two.SYX");
    panel.importChosenSysEx();
    EXPECT_EQ(messages.shown.size(), 1u) << messages.shown.back(); // the start-up's DEFAULT.ZR
    EXPECT_EQ(panel.selections(), two);
    EXPECT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(events.front(), "shown");
    using Type = FileChooser::FileType;
    EXPECT_EQ(chooser.types, (std::vector<Type>{Type::SysEx, Type::SysEx}));

    panel.setSendAfterLoad(false);
    ASSERT_TRUE(panel.importSysEx(FileName(directory.path("set.syx"))));
    EXPECT_EQ(panel.selections().selection(0), 9);
    EXPECT_EQ(host.sent.size(), 2u);
}

TEST_F(PanelTest, SysExFailuresSayWhyAndChangeNothing) {
    panel.start();
    const ParameterSet before = panel.selections();
    writeFile("other.syx", QByteArray::fromHex("f0431000f7"));
    EXPECT_FALSE(panel.importSysEx(FileName(directory.path("other.syx"))));
    EXPECT_FALSE(panel.importSysEx(FileName(directory.path("missing.syx"))));
    EXPECT_FALSE(panel.importSysEx(FileName(directory.path("set.zr"))));
    EXPECT_FALSE(panel.exportSysEx(FileName(directory.path("set.txt"))));
    EXPECT_FALSE(panel.exportSysEx(FileName(directory.path("no-folder/set.syx"))));
    ASSERT_EQ(messages.shown.size(), 6u); // the start-up's DEFAULT.ZR first
    EXPECT_TRUE(messages.shown[1].starts_with("Failed on importing")) << messages.shown[1];
    EXPECT_NE(messages.shown[1].find("no setting of the ZR-70"), std::string::npos);
    EXPECT_TRUE(messages.shown[3].starts_with("Wrong file type")) << messages.shown[3];
    EXPECT_TRUE(messages.shown[5].starts_with("Failed on exporting")) << messages.shown[5];
    EXPECT_EQ(panel.selections(), before);
    EXPECT_TRUE(host.sent.empty());
    // A cancelled dialog does nothing.
    panel.importChosenSysEx();
    panel.exportChosenSysEx();
    EXPECT_EQ(messages.shown.size(), 6u);
}

TEST_F(PanelTest, MovesStoreXThenYAndShutDownClosesTheOutputOnceSayingWhenItFailed) {
    panel.storeWindowPosition(-10, 300);
    EXPECT_EQ(settings.writes, (Writes{{"xpos", -10}, {"ypos", 300}}));
    panel.start();
    messages.shown.clear();
    host.closeResult = 7;
    panel.shutDown();
    panel.shutDown();
    EXPECT_EQ(host.closeCount, 1);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Unable to close MIDI OUT"});
}

} // namespace
} // namespace zr70
