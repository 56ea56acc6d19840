#include "app/command_line.h"

#include "app/qt_text.h"
#include "converter/parameter_set.h"
#include "midi/midi_host.h"
#include "preset/file_access.h"
#include "preset/preset_file.h"
#include "preset/sysex_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileDevice>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zr70 {
namespace {

QString fromStd(const std::string& text) {
    return toQString(text);
}

/// `text` (a file name, what the user gave) as it can stand in one line of
/// a message: control characters and bytes that are no part of a UTF-8
/// character are written as escapes (\n, \t, \xNN), a backslash as \\.
QString printable(const QString& text) {
    QString shown;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t c = text.at(at).unicode();
        const bool escapedByte =
            c >= 0xDC80 && c <= 0xDCFF && (at == 0 || !text.at(at - 1).isHighSurrogate());
        if (c == u'\\') {
            shown += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            shown += QStringLiteral("\\n");
        } else if (c == u'\t') {
            shown += QStringLiteral("\\t");
        } else if (c < 0x20 || c == 0x7F || escapedByte) {
            shown += QStringLiteral("\\x%1").arg(c & 0xFF, 2, 16, QLatin1Char('0'));
        } else {
            shown += text.at(at);
        }
    }
    return shown;
}

/// Decimal digits without a leading zero: "3", not " 3", "+3" or "03".
bool isIndex(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }) &&
           (text.size() == 1 || text.front() != u'0');
}

/// The output a send goes to, or why there is none.
struct OutputChoice {
    int index = -1;
    QString error;
};

/// OUT of --output: a number is an index; any other text must be part of
/// exactly one output's name, in any letter case, unless it is one output's
/// whole name.
OutputChoice chooseByArgument(const QString& wanted, const std::vector<QString>& names) {
    if (isIndex(wanted)) {
        bool fits = false;
        const int index = wanted.toInt(&fits, 10);
        if (!fits || static_cast<std::size_t>(index) >= names.size()) {
            return {-1,
                    QStringLiteral("there is no MIDI output %1 (see --list-outputs)").arg(wanted)};
        }
        return {index, {}};
    }
    std::vector<int> parts;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].compare(wanted, Qt::CaseInsensitive) == 0) {
            return {static_cast<int>(i), {}};
        }
        if (names[i].contains(wanted, Qt::CaseInsensitive)) {
            parts.push_back(static_cast<int>(i));
        }
    }
    if (parts.size() == 1) {
        return {parts.front(), {}};
    }
    if (parts.empty()) {
        return {-1, QStringLiteral("no MIDI output has \"%1\" in its name").arg(printable(wanted))};
    }
    return {-1, QStringLiteral("\"%1\" is part of %2 MIDI output names; give more of one")
                    .arg(printable(wanted))
                    .arg(parts.size())};
}

/// The output the panel would open at start (see chooseStoredOutput).
OutputChoice chooseStored(const CommandLineContext& context, const std::vector<QString>& names) {
    std::vector<std::string> listed;
    for (const QString& name : names) {
        listed.push_back(name.toStdString());
    }
    const int index = chooseStoredOutput(storedOutput(context.settings), listed).index;
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
        return {-1, QStringLiteral("the stored MIDI output %1 is not there; choose one with "
                                   "--output")
                        .arg(index)};
    }
    return {index, {}};
}

/// How a send ended: nothing on success, else what failed, or the request to
/// end that stopped it.
struct SendEnd {
    std::optional<QString> error;
    int signal = 0;
    std::size_t sent = 0;
};

/// "<name>: <text>", or the text alone where it names the output itself.
QString aboutOutput(const QString& name, const std::string& text) {
    const QString said = fromStd(text);
    return said.contains(name) ? said : name + QStringLiteral(": ") + said;
}

/// Opens output `index`, hands it every message, waits until they have left
/// and closes it; a request to end stops it before the open or between
/// messages, and the output closes all the same. Success only when every
/// message left while the output was connected. Every call to the host for
/// a send is here.
SendEnd sendToOutput(MidiHost& host, int index, const QString& name,
                     const std::vector<MessageBytes>& messages,
                     const std::function<int()>& endRequested) {
    const auto requested = [&] { return endRequested ? endRequested() : 0; };
    SendEnd end;
    if ((end.signal = requested()) != 0) {
        return end;
    }
    if (const MidiResult opened = host.open(index); !opened.ok()) {
        end.error = aboutOutput(name, opened.text);
        return end;
    }
    MidiResult problem;
    for (const MessageBytes& message : messages) {
        if ((end.signal = requested()) != 0) {
            break;
        }
        if (problem = host.send(message); !problem.ok()) {
            break;
        }
    }
    const Delivery delivery = host.flush();
    end.sent = delivery.left;
    if (problem.ok()) {
        problem = delivery.result;
    }
    // The close waits for the last message to have arrived.
    if (const MidiResult closed = host.close(); problem.ok()) {
        problem = closed;
    }
    if (!problem.ok()) {
        end.error = QStringLiteral("sent %1 of %2 messages: %3")
                        .arg(end.sent)
                        .arg(messages.size())
                        .arg(aboutOutput(name, problem.text));
    }
    return end;
}

QString signalText(int number) {
    return QStringLiteral("ended by signal %1 (%2)")
        .arg(number)
        .arg(QString::fromLocal8Bit(strsignal(number)));
}

class CommandLine {
public:
    explicit CommandLine(CommandLineContext& context) : context_(context) {}

    int run(const QStringList& arguments);

private:
    int runMode(const QStringList& arguments);
    /// Ends after a request to end: one line, status kEndedBySignal + number.
    int ended(int number, const QString& what = {}) {
        context_.err << QCoreApplication::applicationName() << ": " << signalText(number) << what
                     << Qt::endl;
        endedWith_ = kEndedBySignal + number;
        return *endedWith_;
    }
    /// One line about a failure; a failure that came after a request to end
    /// (a wait cut short, say) is told as the end the user asked for.
    int fail(const QString& text) {
        if (const int number = requested(); number != 0) {
            return ended(number);
        }
        context_.err << QCoreApplication::applicationName() << ": " << text << Qt::endl;
        return kCommandFailed;
    }
    int requested() const { return context_.endRequested ? context_.endRequested() : 0; }
    int usage(const QString& text) {
        context_.err << QCoreApplication::applicationName() << ": " << text
                     << (text.endsWith(QLatin1Char('.')) ? " " : ". ") << "See --help." << Qt::endl;
        return kUsageError;
    }

    /// The preset at `path`, or nothing after a failure line.
    std::optional<ParameterSet> readPreset(const QString& path);
    /// Every output's name as the Midi Setup list shows it; empty after a
    /// failure line when there is none.
    std::vector<QString> outputNames();

    int listOutputs();
    int send(const QString& presetPath, const std::optional<QString>& output);
    int exportSysEx(const QString& presetPath, const QString& sysExPath);
    int importSysEx(const QString& sysExPath, const QString& presetPath);

    CommandLineContext& context_;
    std::optional<int> endedWith_; ///< the status of a run a request to end ended
};

int CommandLine::run(const QStringList& arguments) {
    int status = runMode(arguments);
    if (endedWith_) {
        return *endedWith_;
    }
    // Output that was lost (a full disk, a closed pipe) is a failure the
    // caller must hear of.
    context_.out.flush();
    if (context_.out.status() != QTextStream::Ok && status == kCommandSucceeded) {
        const auto* file = qobject_cast<const QFileDevice*>(context_.out.device());
        status = fail(QStringLiteral("write error on standard output") +
                      (file != nullptr ? QStringLiteral(": ") + file->errorString() : QString()));
    }
    // A request to end that came while a mode ran, after its work was done,
    // still tells the caller the run was ended; a failure already told stands.
    if (status == kCommandSucceeded) {
        if (const int number = requested(); number != 0) {
            return ended(number);
        }
    }
    return status;
}

int CommandLine::runMode(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The Korvan ZR-70 control panel. Without arguments it opens its window; with "
        "arguments it runs without one:\n"
        "  --list-outputs                  list the MIDI outputs\n"
        "  --send FILE.zr [--output OUT]   send a preset to a MIDI output\n"
        "  --export-syx FILE.zr OUT.syx    write a preset as a SysEx file\n"
        "  --import-syx IN.syx OUT.zr      write a SysEx file's settings as a preset"));
    // Qt's own help option would add --help-all, for options only a window
    // takes.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption list(QStringLiteral("list-outputs"),
                                  QStringLiteral("One line per MIDI output: its index, a tab, "
                                                 "its name."));
    const QCommandLineOption send(QStringLiteral("send"),
                                  QStringLiteral("Send the preset FILE.zr to a MIDI output: "
                                                 "--output, else the one the panel uses."));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("With --send: the output's index, or part of "
                                                   "its name (any letter case)."),
                                    QStringLiteral("OUT"));
    const QCommandLineOption exportSyx(QStringLiteral("export-syx"),
                                       QStringLiteral("Write the preset FILE.zr as the SysEx file "
                                                      "OUT.syx."));
    const QCommandLineOption importSyx(QStringLiteral("import-syx"),
                                       QStringLiteral("Write the converter's settings in the SysEx "
                                                      "file IN.syx as the preset OUT.zr."));
    parser.addOptions({help, list, send, output, exportSyx, importSyx});

    if (!parser.parse(arguments)) {
        return usage(printable(parser.errorText()));
    }
    if (parser.isSet(help)) {
        // "Usage: zr70 [options]", not the path the program was started by.
        QString text = parser.helpText();
        const QString usageLine = QStringLiteral("Usage: ");
        const QString started = QCoreApplication::arguments().value(0);
        if (text.startsWith(usageLine + started)) {
            text.replace(usageLine.size(), started.size(), QCoreApplication::applicationName());
        }
        context_.out << text;
        return kCommandSucceeded;
    }
    if (parser.isSet(version)) {
        context_.out << QCoreApplication::applicationName() << ' '
                     << QCoreApplication::applicationVersion() << Qt::endl;
        return kCommandSucceeded;
    }

    struct Mode {
        const QCommandLineOption& option;
        int files;
    };
    const std::vector<Mode> modes = {{list, 0}, {send, 1}, {exportSyx, 2}, {importSyx, 2}};
    const Mode* chosen = nullptr;
    for (const Mode& mode : modes) {
        if (parser.isSet(mode.option)) {
            if (chosen != nullptr) {
                return usage(QStringLiteral("give one of --list-outputs, --send, --export-syx, "
                                            "--import-syx"));
            }
            chosen = &mode;
        }
    }
    if (chosen == nullptr) {
        return usage(QStringLiteral("give --list-outputs, --send, --export-syx or --import-syx"));
    }
    const QString name = chosen->option.names().constFirst();
    const QStringList files = parser.positionalArguments();
    if (files.size() != chosen->files) {
        static constexpr std::array<const char*, 3> kTakes = {"no file name", "one file name",
                                                              "two file names"};
        return usage(QStringLiteral("--%1 takes %2, not %3")
                         .arg(name, QLatin1String(kTakes[static_cast<std::size_t>(chosen->files)]))
                         .arg(files.size()));
    }
    if (parser.isSet(output) && &chosen->option != &send) {
        return usage(QStringLiteral("--output goes with --send only"));
    }
    if (parser.values(output).size() > 1) {
        return usage(QStringLiteral("--output is given more than once"));
    }
    if (parser.isSet(output) && parser.value(output).isEmpty()) {
        return usage(QStringLiteral("--output takes an index or a part of an output's name"));
    }

    if (&chosen->option == &list) {
        return listOutputs();
    }
    if (&chosen->option == &send) {
        return this->send(files[0], parser.isSet(output)
                                        ? std::optional<QString>(parser.value(output))
                                        : std::nullopt);
    }
    if (&chosen->option == &exportSyx) {
        return exportSysEx(files[0], files[1]);
    }
    return importSysEx(files[0], files[1]);
}

std::optional<ParameterSet> CommandLine::readPreset(const QString& path) {
    if (!PresetFile::hasExtension(path)) {
        fail(QStringLiteral("%1: not a preset file (the name must end in .zr or .ZR)")
                 .arg(printable(path)));
        return std::nullopt;
    }
    const Read<ParameterSet> set = PresetFile::read(path);
    if (!set) {
        fail(QStringLiteral("%1: cannot read it: %2").arg(printable(path), set.error));
    }
    return set.value;
}

std::vector<QString> CommandLine::outputNames() {
    const OutputList listed = context_.host().outputs();
    std::vector<QString> names;
    for (const std::string& name : listed.names) {
        names.push_back(fromStd(name));
    }
    if (names.empty()) {
        // A JACK server that did not answer is not one that is missing.
        fail(listed.problem.ok() ? QStringLiteral("No MIDI out devices found")
                                 : fromStd(listed.problem.text));
    }
    return names;
}

int CommandLine::listOutputs() {
    const std::vector<QString> names = outputNames();
    for (std::size_t index = 0; index < names.size(); ++index) {
        context_.out << index << '\t' << names[index] << '\n';
    }
    context_.out.flush();
    return names.empty() ? kCommandFailed : kCommandSucceeded;
}

int CommandLine::send(const QString& presetPath, const std::optional<QString>& output) {
    const std::optional<ParameterSet> set = readPreset(presetPath);
    if (!set) {
        return kCommandFailed;
    }
    const std::vector<MessageBytes> messages = sendAllMessages(*set);
    if (messages.empty()) {
        return fail(QStringLiteral("%1: no parameter has a selection; there is nothing to send")
                        .arg(printable(presetPath)));
    }
    const std::vector<QString> names = outputNames();
    if (names.empty()) {
        return kCommandFailed;
    }
    const OutputChoice choice =
        output ? chooseByArgument(*output, names) : chooseStored(context_, names);
    if (choice.index < 0) {
        return fail(choice.error);
    }
    const SendEnd end =
        sendToOutput(context_.host(), choice.index, names[static_cast<std::size_t>(choice.index)],
                     messages, context_.endRequested);
    if (end.error) {
        return fail(*end.error);
    }
    if (end.signal != 0) {
        return ended(end.signal, QStringLiteral(" after %1 of %2 messages; the output is closed")
                                     .arg(end.sent)
                                     .arg(messages.size()));
    }
    return kCommandSucceeded;
}

int CommandLine::exportSysEx(const QString& presetPath, const QString& sysExPath) {
    if (!SysExFile::hasExtension(sysExPath)) {
        return fail(QStringLiteral("%1: not a SysEx file (the name must end in .syx or .SYX)")
                        .arg(printable(sysExPath)));
    }
    const std::optional<ParameterSet> set = readPreset(presetPath);
    if (!set) {
        return kCommandFailed;
    }
    if (const Written written = SysExFile::write(sysExPath, *set); !written.ok()) {
        return fail(
            QStringLiteral("%1: cannot write it: %2").arg(printable(sysExPath), written.error));
    }
    return kCommandSucceeded;
}

int CommandLine::importSysEx(const QString& sysExPath, const QString& presetPath) {
    if (!SysExFile::hasExtension(sysExPath)) {
        return fail(QStringLiteral("%1: not a SysEx file (the name must end in .syx or .SYX)")
                        .arg(printable(sysExPath)));
    }
    if (!PresetFile::hasExtension(presetPath)) {
        return fail(QStringLiteral("%1: not a preset file (the name must end in .zr or .ZR)")
                        .arg(printable(presetPath)));
    }
    const Read<SysExFile::Import> imported = SysExFile::read(sysExPath);
    if (!imported) {
        return fail(
            QStringLiteral("%1: cannot import it: %2").arg(printable(sysExPath), imported.error));
    }
    if (const Written written = PresetFile::write(presetPath, imported->set); !written.ok()) {
        return fail(
            QStringLiteral("%1: cannot write it: %2").arg(printable(presetPath), written.error));
    }
    if (imported->skipped > 0) {
        context_.err << QCoreApplication::applicationName() << ": " << printable(sysExPath)
                     << ": skipped " << imported->skipped
                     << (imported->skipped == 1 ? " message or byte run" : " messages or byte runs")
                     << " that set nothing on the converter" << Qt::endl;
    }
    return kCommandSucceeded;
}

} // namespace

int runCommandLine(const QStringList& arguments, CommandLineContext context) {
    return CommandLine(context).run(arguments);
}

QStringList commandLineArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int at = 0; at < argc; ++at) {
        // File names are bytes: taken as they are, they name the same file.
        arguments.append(decodeFileName(argv[at]));
    }
    return arguments;
}

} // namespace zr70
