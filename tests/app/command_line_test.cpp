#include "app/command_line.h"
#include "preset/preset_file.h"
#include "preset/sysex_file.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/shell_fakes.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

#include <memory>

namespace zr70 {
namespace {

struct CommandLineTest : ::testing::Test {
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "zr70";
            static char* argv[] = {name, nullptr};
            application = new QCoreApplication(argc, argv);
        }
    }

    CommandLineTest() {
        host.devices = {"ALSA: Midi Through Port-0", "JACK: dump:input", "JACK: synth:midi_in"};
        preset.set(0, 9);
        dir.write("song.zr", PresetFile::encode(preset));
        dir.write("unset.zr", PresetFile::encode(ParameterSet()));
    }

    QString path(const QString& name) const { return dir.path(name); }

    /// Runs the command line with `arguments`, in which "@" stands for the
    /// test's folder; keeps what it wrote in `out` and `err`.
    int run(std::vector<std::string> arguments) {
        for (std::string& argument : arguments) {
            if (const std::size_t at = argument.find('@'); at != std::string::npos) {
                argument.replace(at, 1, dir.path().toStdString() + "/");
            }
        }
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status = runCommandLine(
            parseCommandLine(arguments),
            {[this]() -> MidiHost& { return host; }, settings, outStream, errStream, endRequested});
        outStream.flush();
        errStream.flush();
        return status;
    }

    /// The output the last send opened, -1 when none.
    int opened() const {
        for (const std::string& call : host.calls) {
            if (call.starts_with("open ")) {
                return std::stoi(call.substr(5));
            }
        }
        return -1;
    }

    static inline QCoreApplication* application = nullptr;
    testing::TestFolder dir;
    ParameterSet preset = ParameterSet::defaults();
    testing::FakeMidiHost host;
    testing::MemorySettings settings;
    std::function<int()> endRequested;
    QString out;
    QString err;
};

TEST_F(CommandLineTest, EachModeEndsWithItsStatusAndOneLineForAFailure) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* err; ///< part of the one line on stderr; nothing when empty
        int opened = -1;
        std::vector<MessageBytes> sent = {}; ///< by --set
    };
    const std::vector<Case> cases = {
        {{}, 2, "give --list-outputs"},
        {{"--bogus"}, 2, "bogus"},
        {{"--send"}, 2, "--send takes one file name, not 0"},
        {{"--send", "@song.zr", "--list-outputs"}, 2, "give one of"},
        {{"--list-outputs", "--output", "1"}, 2, "--output goes with --send and --set only"},
        {{"--export-syx", "@song.zr"}, 2, "takes two file names"},
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
        {{"--list-outputs"}, 0, ""},
        {{"--send", "@song.zr"}, 0, "", 0},
        {{"--send", "@song.zr", "--output", "2"}, 0, "", 2},
        {{"--send", "@song.zr", "--output=DUMP"}, 0, "", 1},
        {{"--send", "@song.zr", "--output", "jack: SYNTH:midi_in"}, 0, "", 2},
        {{"--send", "@song.zr", "--output", "jack"}, 1, "part of 2 MIDI output names"},
        {{"--send", "@song.zr", "--output", "piano"}, 1, "no MIDI output has \"piano\""},
        {{"--send", "@song.zr", "--output", "3"}, 1, "there is no MIDI output 3"},
        // An index is decimal digits, with no sign, space or leading zero.
        {{"--send", "@song.zr", "--output", " 1"}, 1, "no MIDI output has \" 1\""},
        {{"--send", "@song.zr", "--output", "+1"}, 1, "no MIDI output has \"+1\""},
        {{"--send", "@song.zr", "--output", "01"}, 1, "no MIDI output has \"01\""},
        {{"--send", "@song.zr", "--output", "99999999999"}, 1, "there is no MIDI output 9999"},
        {{"--send", "@song.zr", "--output", "1", "--output", "2"}, 2, "more than once"},
        {{"--send", "@song.zr", "--output", ""}, 2, "--output takes an index"},
        {{"--send", "@song.zr", "--output"}, 2, "--output takes an index"},
        {{"--send", "@song.zr", "--output", "dump\nx"}, 1, "no MIDI output has \"dump\\nx\""},
        {{"--send", "@line\nbreak.zr"}, 1, "line\\nbreak.zr: cannot read it"},
        {{"--send", "@take\xe9\x1b.zr"}, 1, "take\\xe9\\x1b.zr: cannot read it"},
        // Nothing to send or write is no success.
        {{"--send", "@unset.zr"}, 1, "unset.zr: no parameter has a selection"},
        {{"--export-syx", "@unset.zr", "@unset.syx"}, 1, "no parameter has a selection"},
        {{"--send", "@song.txt"}, 1, "song.txt: the name of a preset file must end in .zr or .ZR"},
        {{"--send", "@song.Zr"}, 1, "the name of a preset file"},
        {{"--send", "@missing.zr"}, 1, "missing.zr: cannot read it"},
        {{"--export-syx", "@song.zr", "@out.txt"}, 1, "out.txt: the name of a SysEx file must"},
        {{"--export-syx", "@missing.zr", "@out.syx"}, 1, "cannot read it"},
        {{"--import-syx", "@song.zr", "@out.zr"}, 1, "song.zr: the name of a SysEx file"},
        {{"--import-syx", "@in.syx", "@out.txt"}, 1, "out.txt: the name of a preset file"},
        {{"--import-syx", "@missing.syx", "@out.zr"}, 1, "missing.syx: cannot import it"},
        // Parameters by label or number, entries by name, as the window shows them.
        {{"--set", "Play Mode=Mono"}, 0, "", 0, {messageFor(2, 1)}},
        {{"--set", "octave shift=up", "pick. e2=8", "--output", "2"},
         0,
         "",
         2,
         {messageFor(3, 2), messageFor(13, 7)}},
        {{"--set", "PLAYMODE= mono", "14=442", "touch=no dyn", "pick e1=8"},
         0,
         "",
         0,
         {messageFor(2, 1), messageFor(14, 1), messageFor(7, 3), messageFor(8, 7)}},
        {{"--set", "Midi channel=1", "bender rng.=1"},
         0,
         "",
         0,
         {messageFor(0, 0), messageFor(1, 2)}},
        {{"--set", "Play Mode=Mone"},
         2,
         "zr70: Play Mode has no value \"Mone\"; it takes Poly or Mono"},
        {{"--set", "pick=1"},
         2,
         "\"pick\" names more than one parameter: Pick. E1, Pick. H, "
         "Pick. G, Pick. D, Pick. A or Pick. E2"},
        {{"--set", "Volume=1"}, 2, "no parameter is named \"Volume\"; the names are Midi channel"},
        {{"--set", "15=1"}, 2, "no parameter is named \"15\""},
        {{"--set", "touch sensitivity=n"},
         2,
         "\"n\" fits more than one value of Touch "
         "Sensitivity: Normal or No dynamics"},
        {{"--set", "playmode"}, 2, "\"playmode\" is no NAME=VALUE"},
        {{"--set"}, 2, "--set takes one NAME=VALUE or more, not 0"},
        {{"--show", "@song.txt"}, 1, "song.txt: the name must end in .zr, .ZR, .syx or .SYX"},
        {{"--show", "@song.zr", "--output", "1"}, 2, "--output goes with --send and --set only"},
        {{"--edit", "@song.zr"}, 2, "--edit takes a file name and one NAME=VALUE or more, not 1"},
        {{"--edit", "@song.txt", "2=mono"}, 1, "song.txt: the name of a preset file"},
        {{"--edit", "@song.zr", "Play Mode=x"}, 2, "Play Mode has no value \"x\""},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const std::string& argument : c.arguments) {
            what += argument + " ";
        }
        host.calls.clear();
        host.sent.clear();
        EXPECT_EQ(run(c.arguments), c.status) << what;
        if (*c.err == '\0') {
            EXPECT_TRUE(err.isEmpty()) << what << ": " << err.toStdString();
        } else {
            EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << what;
            EXPECT_TRUE(err.contains(QString::fromUtf8(c.err)))
                << what << ": " << err.toStdString();
        }
        EXPECT_EQ(opened(), c.opened) << what;
        if (!c.sent.empty()) {
            EXPECT_EQ(host.sent, testing::messages(c.sent)) << what;
        }
    }
    EXPECT_TRUE(settings.writes.empty());
    EXPECT_EQ(dir.read("song.zr"), PresetFile::encode(preset)) << "no edit that failed wrote";
}

TEST_F(CommandLineTest, OutputsAreListedAsTheMidiSetupListShowsThemEachOnOneLine) {
    ASSERT_EQ(run({"--list-outputs"}), 0);
    EXPECT_EQ(out, "0\tALSA: Midi Through Port-0\n1\tJACK: dump:input\n2\tJACK: synth:midi_in\n");
    // A name is printed escaped, and taken back as it was printed.
    host.devices.push_back("JACK: ev\x1b[31mil\n\xff:in");
    ASSERT_EQ(run({"--list-outputs"}), 0);
    EXPECT_TRUE(out.endsWith("3\tJACK: ev\\x1b[31mil\\n\\xff:in\n")) << out.toStdString();
    ASSERT_EQ(run({"--send", "@song.zr", "--output", "ev\\x1b[31mil\\n\\xff:in"}), 0);
    EXPECT_EQ(opened(), 3);
    host.busy = {3};
    EXPECT_EQ(run({"--send", "@song.zr", "--output", "3"}), 1);
    EXPECT_EQ(err, "zr70: JACK: ev\\x1b[31mil\\n\\xff:in: host error 4\n");
    host.devices.pop_back();
    ASSERT_EQ(run({"--version"}), 0);
    EXPECT_TRUE(out.startsWith("zr70 ")) << out.toStdString();

    host.devices.clear();
    EXPECT_EQ(run({"--list-outputs"}), 1);
    EXPECT_EQ(err, "zr70: No MIDI out devices found\n");
    EXPECT_EQ(run({"--send", "@song.zr"}), 1);
    EXPECT_EQ(err, "zr70: No MIDI out devices found\n");
    // A JACK server that did not answer is not one that is missing.
    host.listProblem = MidiResult::failure(MidiError::NotAnswering);
    EXPECT_EQ(run({"--list-outputs"}), 1);
    EXPECT_EQ(err, "zr70: The JACK server is not answering.\n");
}

TEST_F(CommandLineTest, FailedOpenOrSendGivesStatusOneAndClosesWhatWasOpened) {
    host.busy = {0};
    EXPECT_EQ(run({"--send", "@song.zr"}), 1);
    EXPECT_EQ(err, "zr70: ALSA: Midi Through Port-0: host error 4\n");
    EXPECT_EQ(host.closeCount, 0);

    // A refused message does not stop the others, as in the window.
    host.sendResults = {0, 0, 7};
    EXPECT_EQ(run({"--send", "@song.zr", "--output", "1"}), 1);
    EXPECT_EQ(err, "zr70: sent 14 of 15 messages: JACK: dump:input: host error 7\n");
    EXPECT_EQ(host.sent.size(), 15u);
    EXPECT_EQ(host.closeCount, 1);

    // Every message was taken, but not all of them left: that is no success.
    host.delivery = Delivery{15, 4, MidiResult::failure(MidiError::ServerGone)};
    EXPECT_EQ(run({"--send", "@song.zr", "--output", "1"}), 1);
    EXPECT_EQ(err, "zr70: sent 4 of 15 messages: JACK: dump:input: The JACK server has stopped.\n");
    EXPECT_EQ(host.closeCount, 2);
}

TEST_F(CommandLineTest, WithoutOutputTheOutputThePanelStoredIsUsedIfItIsThere) {
    settings.texts["mididevicename"] = "JACK: synth:midi_in";
    ASSERT_EQ(run({"--send", "@song.zr"}), 0);
    EXPECT_EQ(opened(), 2);
    settings.texts.clear();
    settings.values["mididevice"] = 5;
    host.calls.clear();
    EXPECT_EQ(run({"--send", "@song.zr"}), 1);
    EXPECT_TRUE(err.contains("the stored MIDI output 5 is not there")) << err.toStdString();
    EXPECT_EQ(opened(), -1);
    EXPECT_TRUE(settings.order.empty());
}

TEST_F(CommandLineTest, ARequestToEndStopsTheSendClosesTheOutputAndEndsWithItsStatus) {
    // SIGTERM arrives while the third message is handed over.
    int asked = 0;
    endRequested = [&] { return host.sent.size() >= 3 ? 15 : (++asked, 0); };
    EXPECT_EQ(run({"--send", "@song.zr"}), 128 + 15);
    EXPECT_EQ(host.sent.size(), 3u);
    EXPECT_EQ(host.closeCount, 1);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(err.contains("ended by signal 15")) << err.toStdString();
    EXPECT_TRUE(err.contains("after 3 of 15 messages")) << err.toStdString();
    EXPECT_EQ(asked, 4) << "asked before the open and before each message";

    // One that came before the output opened opens nothing; one that came
    // while a file was converted still ends the run with its status.
    host.calls.clear();
    endRequested = [] { return 2; };
    EXPECT_EQ(run({"--send", "@song.zr"}), 128 + 2);
    EXPECT_EQ(opened(), -1);
    EXPECT_EQ(run({"--export-syx", "@song.zr", "@song.syx"}), 128 + 2);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1);
    // One that comes after a failure leaves the failure, in its one line.
    endRequested = [this] { return err.isEmpty() ? 0 : 15; };
    EXPECT_EQ(run({"--send", "@missing.zr"}), 1);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString();
}

TEST_F(CommandLineTest, ShowPrintsAFileInTheWindowsWordsAndEditChangesOnlyWhatItNames) {
    const auto line = [&](int index) { return out.split(QLatin1Char('\n')).value(index); };
    ASSERT_EQ(run({"--show", "@song.zr"}), 0) << err.toStdString();
    EXPECT_EQ(out.count(QLatin1Char('\n')), 15);
    EXPECT_EQ(line(0), "Midi channel\t10");
    EXPECT_EQ(line(14), "Master Tune\t440.0 Hz");
    ASSERT_EQ(run({"--show", "@unset.zr"}), 0);
    EXPECT_EQ(line(2), "Play Mode\t(none)");

    ASSERT_EQ(run({"--edit", "@song.zr", "Play Mode=Mono", "master tune=442"}), 0);
    ASSERT_EQ(run({"--show", "@song.zr"}), 0);
    EXPECT_EQ(line(0), "Midi channel\t10") << "the others are kept";
    EXPECT_EQ(line(2), "Play Mode\tMono");
    EXPECT_EQ(line(14), "Master Tune\t442.0 Hz");
    // A file that is not there is made from the default selections.
    ASSERT_EQ(run({"--edit", "@new.zr", "octave=down"}), 0);
    ParameterSet expected = ParameterSet::defaults();
    expected.set(3, 0);
    EXPECT_EQ(dir.read("new.zr"), PresetFile::encode(expected));
    // One that may not be written is left whole, with one line.
    ASSERT_TRUE(QFile::setPermissions(path("new.zr"), QFileDevice::ReadOwner));
    EXPECT_EQ(run({"--edit", "@new.zr", "octave=up"}), 1);
    EXPECT_TRUE(err.contains("new.zr: cannot write it: the file is read-only"))
        << err.toStdString();
    EXPECT_EQ(dir.read("new.zr"), PresetFile::encode(expected));
    // A SysEx file shows what an import would take.
    dir.write("in.syx", SysExFile::encode(expected));
    ASSERT_EQ(run({"--show", "@in.syx"}), 0);
    EXPECT_EQ(line(3), "Octave shift\tDown");
    EXPECT_TRUE(host.calls.empty()) << "nothing touches a MIDI system";
}

TEST_F(CommandLineTest, ExportAndImportConvertBetweenPresetsAndSysExFiles) {
    ASSERT_EQ(run({"--export-syx", "@song.zr", "@song.SYX"}), 0) << err.toStdString();
    EXPECT_EQ(dir.read("song.SYX"), SysExFile::encode(preset));

    const QByteArray other = QByteArray::fromHex("f0431000f7");
    dir.write("in.syx", other + SysExFile::encode(preset));
    ASSERT_EQ(run({"--import-syx", "@in.syx", "@out.zr"}), 0);
    EXPECT_EQ(dir.read("out.zr"), PresetFile::encode(preset));
    EXPECT_EQ(err, "zr70: " + path("in.syx") +
                       ": skipped 1 message or byte run that set nothing on the converter\n");

    // Nothing valid: an error, and the preset already there stays.
    dir.write("in.syx", other);
    EXPECT_EQ(run({"--import-syx", "@in.syx", "@out.zr"}), 1);
    EXPECT_TRUE(err.contains("no setting of the ZR-70 in it")) << err.toStdString();
    EXPECT_EQ(dir.read("out.zr"), PresetFile::encode(preset));
}

} // namespace
} // namespace zr70
