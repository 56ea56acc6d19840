#include "app/command_line.h"

#include "app/qt_text.h"
#include "converter/parameter_set.h"
#include "midi/midi_output_port.h"
#include "preset/file_access.h"
#include "preset/preset_file.h"
#include "preset/sysex_file.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QTextStream>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <utility>
#include <variant>

namespace zr70 {

namespace {

/// The length of the UTF-8 character at the start of `bytes`, 0 when it is
/// none (a stray continuation byte, an overlong form, a surrogate, a code
/// point beyond U+10FFFF, or a character cut short).
std::size_t utf8Length(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t least = 0;
    char32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < least || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

} // namespace

QString printable(std::string_view bytes) {
    QString shown;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (const std::size_t length = utf8Length(bytes.substr(at)); length > 0) {
            shown += QString::fromUtf8(bytes.substr(at, length));
            at += length;
            continue;
        }
        if (byte == '\\') {
            shown += QStringLiteral("\\\\");
        } else if (byte == '\n') {
            shown += QStringLiteral("\\n");
        } else if (byte == '\t') {
            shown += QStringLiteral("\\t");
        } else if (byte < 0x20 || byte >= 0x7F) {
            shown += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        } else {
            shown += QLatin1Char(static_cast<char>(byte));
        }
        ++at;
    }
    return shown;
}

namespace {

using Mode = CommandLineRequest::Mode;

/// Each mode's option and what it takes after it.
struct ModeOption {
    Mode mode;
    std::string_view name;
    std::size_t least;        ///< operands
    std::size_t most;         ///< operands; SIZE_MAX for any number
    std::string_view takes;   ///< what the operands are, for a usage error
    bool takesOutput = false; ///< --output goes with it
};
constexpr std::size_t kAny = SIZE_MAX;
constexpr std::array<ModeOption, 8> kModes{{
    {Mode::ListOutputs, "--list-outputs", 0, 0, "no file name"},
    {Mode::ListParameters, "--list-parameters", 0, 0, "nothing"},
    {Mode::Send, "--send", 1, 1, "one file name", true},
    {Mode::Set, "--set", 1, kAny, "one NAME=VALUE or more", true},
    {Mode::Show, "--show", 1, 1, "one file name"},
    {Mode::Edit, "--edit", 2, kAny, "a file name and one NAME=VALUE or more"},
    {Mode::ExportSysEx, "--export-syx", 2, 2, "two file names"},
    {Mode::ImportSysEx, "--import-syx", 2, 2, "two file names"},
}};

const ModeOption* modeOption(Mode mode) {
    const auto found = std::ranges::find(kModes, mode, &ModeOption::mode);
    return found == kModes.end() ? nullptr : &*found;
}

/// Decimal digits without a leading zero: "3", not " 3", "+3" or "03".
bool isIndex(std::string_view text) {
    return !text.empty() &&
           std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; }) &&
           (text.size() == 1 || text.front() != '0');
}

/// "a, b or c".
QString oneOf(std::span<const std::string_view> choices) {
    QString text;
    for (std::size_t at = 0; at < choices.size(); ++at) {
        if (at > 0) {
            text += at + 1 == choices.size() ? QStringLiteral(" or ") : QStringLiteral(", ");
        }
        text += toQString(choices[at]);
    }
    return text;
}

QString shown(const FileName& path) {
    return printable(
        std::string_view(path.bytes().constData(), static_cast<std::size_t>(path.bytes().size())));
}

/// "<file>: the name of a ... must end in ...".
QString wrongName(const FileName& path, std::string_view rule) {
    return shown(path) + QStringLiteral(": ") + toQString(rule);
}

QString labelOf(ParameterIndex index) {
    return toQString(parameter(index).label);
}

QString signalText(int number) {
    return QStringLiteral("ended by signal %1 (%2)")
        .arg(number)
        .arg(QString::fromLocal8Bit(strsignal(number)));
}

/// One parameter and the entry a NAME=VALUE setting named.
struct Setting {
    ParameterIndex index;
    int selection;
};

/// Why a command stopped: the line to write, and the status.
struct Stop {
    QString line;
    int status = kCommandFailed;
};

class CommandLine {
public:
    explicit CommandLine(CommandLineContext& context) : context_(context) {}

    int run(const CommandLineRequest& request);

private:
    int runMode(const CommandLineRequest& request);
    /// Ends after a request to end: one line, status kEndedBySignal + number.
    int ended(int number, const QString& what = {}) {
        context_.err << QCoreApplication::applicationName() << ": " << signalText(number) << what
                     << Qt::endl;
        endedWith_ = kEndedBySignal + number;
        return *endedWith_;
    }
    /// One line about a failure; a failure that came after a request to end
    /// (a wait cut short, say) is told as the end the user asked for.
    int fail(const QString& text, int status = kCommandFailed) {
        if (const int number = requested(); number != 0) {
            return ended(number);
        }
        context_.err << QCoreApplication::applicationName() << ": " << text << Qt::endl;
        return status;
    }
    int fail(const Stop& stop) { return fail(stop.line, stop.status); }
    int requested() const { return context_.endRequested ? context_.endRequested() : 0; }
    int usage(const QString& text) {
        context_.err << QCoreApplication::applicationName() << ": " << text
                     << (text.endsWith(QLatin1Char('.')) ? " " : ". ") << "See --help." << Qt::endl;
        return kUsageError;
    }

    /// The selections of the preset at `path`, or why there are none.
    std::variant<ParameterSet, Stop> readPreset(const FileName& path) const;
    /// The parameters and entries the NAME=VALUE settings name, or why they
    /// name none (a usage error).
    static std::variant<std::vector<Setting>, Stop>
    readSettings(std::span<const std::string> settings);

    int listOutputs();
    int listParameters();
    int help();
    /// Sends `messages` to the chosen output: opened, handed every message,
    /// closed once they have arrived.
    int send(const std::vector<MessageBytes>& messages, const std::optional<std::string>& output);
    int show(const FileName& path);
    int edit(const FileName& path, std::span<const std::string> settings);
    int exportSysEx(const FileName& presetPath, const FileName& sysExPath);
    int importSysEx(const FileName& sysExPath, const FileName& presetPath);

    CommandLineContext& context_;
    std::optional<int> endedWith_; ///< the status of a run a request to end ended
};

int CommandLine::run(const CommandLineRequest& request) {
    int status = runMode(request);
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

int CommandLine::runMode(const CommandLineRequest& request) {
    if (!request.usageError.empty()) {
        return usage(printable(request.usageError));
    }
    const std::vector<std::string>& operands = request.operands;
    const auto file = [&](std::size_t at) {
        return FileName(QByteArray::fromStdString(operands[at]));
    };
    switch (request.mode) {
    case Mode::None:
        break;
    case Mode::Help:
        return help();
    case Mode::Version:
        context_.out << QCoreApplication::applicationName() << ' '
                     << QCoreApplication::applicationVersion() << Qt::endl;
        return kCommandSucceeded;
    case Mode::ListOutputs:
        return listOutputs();
    case Mode::ListParameters:
        return listParameters();
    case Mode::Send: {
        const auto set = readPreset(file(0));
        if (const Stop* stop = std::get_if<Stop>(&set)) {
            return fail(*stop);
        }
        const std::vector<MessageBytes> messages = sendAllMessages(std::get<ParameterSet>(set));
        if (messages.empty()) {
            return fail(QStringLiteral("%1: no parameter has a selection; there is nothing to send")
                            .arg(printable(operands[0])));
        }
        return send(messages, request.output);
    }
    case Mode::Set: {
        const auto settings = readSettings(operands);
        if (const Stop* stop = std::get_if<Stop>(&settings)) {
            return fail(*stop);
        }
        std::vector<MessageBytes> messages;
        for (const Setting& setting : std::get<std::vector<Setting>>(settings)) {
            messages.push_back(messageFor(setting.index, setting.selection));
        }
        return send(messages, request.output);
    }
    case Mode::Show:
        return show(file(0));
    case Mode::Edit:
        return edit(file(0), std::span(operands).subspan(1));
    case Mode::ExportSysEx:
        return exportSysEx(file(0), file(1));
    case Mode::ImportSysEx:
        return importSysEx(file(0), file(1));
    }
    return kUsageError;
}

std::variant<ParameterSet, Stop> CommandLine::readPreset(const FileName& path) const {
    if (!PresetFile::hasExtension(path)) {
        return Stop{wrongName(path, PresetFile::kNameRule)};
    }
    const Read<ParameterSet> set = PresetFile::read(path);
    if (!set) {
        return Stop{QStringLiteral("%1: cannot read it: %2").arg(shown(path), set.error)};
    }
    return *set;
}

std::variant<std::vector<Setting>, Stop>
CommandLine::readSettings(std::span<const std::string> settings) {
    std::vector<Setting> read;
    for (const std::string& setting : settings) {
        const std::size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            return Stop{QStringLiteral("\"%1\" is no NAME=VALUE").arg(printable(setting)),
                        kUsageError};
        }
        const std::string_view name = std::string_view(setting).substr(0, equals);
        const std::string_view value = std::string_view(setting).substr(equals + 1);
        const TextMatch parameterMatch = findParameter(name);
        if (!parameterMatch.found) {
            std::vector<std::string_view> labels;
            for (const int index : parameterMatch.candidates) {
                labels.push_back(parameter(index).label);
            }
            if (labels.empty()) {
                for (const DeviceParameter& row : parameterTable()) {
                    labels.push_back(row.label);
                }
                return Stop{QStringLiteral("no parameter is named \"%1\"; the names are %2")
                                .arg(printable(name), oneOf(labels)),
                            kUsageError};
            }
            return Stop{QStringLiteral("\"%1\" names more than one parameter: %2")
                            .arg(printable(name), oneOf(labels)),
                        kUsageError};
        }
        const ParameterIndex index = *parameterMatch.found;
        const TextMatch valueMatch = findValue(index, value);
        if (!valueMatch.found) {
            const std::span<const std::string_view> entries = parameter(index).values;
            if (valueMatch.candidates.empty()) {
                return Stop{QStringLiteral("%1 has no value \"%2\"; it takes %3")
                                .arg(labelOf(index), printable(value), oneOf(entries)),
                            kUsageError};
            }
            std::vector<std::string_view> fitting;
            for (const int entry : valueMatch.candidates) {
                fitting.push_back(entries[static_cast<std::size_t>(entry)]);
            }
            return Stop{QStringLiteral("\"%1\" fits more than one value of %2: %3")
                            .arg(printable(value), labelOf(index), oneOf(fitting)),
                        kUsageError};
        }
        read.push_back({index, *valueMatch.found});
    }
    return read;
}

int CommandLine::help() {
    // The parameters and their entries come from the table the window is
    // made from.
    QString text =
        QStringLiteral(
            "Usage: %1 [options]\n"
            "The Korvan ZR-70 control panel. Without arguments it opens its window; with\n"
            "arguments it runs without one.\n"
            "\n"
            "Options:\n"
            "  -h, --help                         Show this help.\n"
            "  -v, --version                      Show the version.\n"
            "  --list-outputs                     One line per MIDI output: its index, a tab,\n"
            "                                     its name.\n"
            "  --list-parameters                  One line per parameter: its number, its label\n"
            "                                     and each entry of its list, between tabs.\n"
            "  --send FILE.zr                     Send the preset FILE.zr to a MIDI output.\n"
            "  --set NAME=VALUE...                Send each parameter named, in the order given,\n"
            "                                     as a pick in the window does.\n"
            "  --show FILE                        Print the parameters of a preset (.zr) or\n"
            "                                     SysEx (.syx) file: label, tab, entry.\n"
            "  --edit FILE.zr NAME=VALUE...       Change parameters of a preset file (made from\n"
            "                                     the default selections when missing).\n"
            "  --export-syx FILE.zr OUT.syx       Write the preset FILE.zr as the SysEx file\n"
            "                                     OUT.syx.\n"
            "  --import-syx IN.syx OUT.zr         Write the converter's settings in the SysEx\n"
            "                                     file IN.syx as the preset OUT.zr.\n"
            "  --output OUT                       With --send and --set: the output's index, or\n"
            "                                     part of its name (any letter case); else the\n"
            "                                     output the panel uses.\n"
            "\n"
            "NAME is a label as the window shows it, in any letter case, with or without\n"
            "spaces and dots, or the parameter's number; VALUE is an entry of its list in any\n"
            "letter case, with or without spaces, or the start of one entry alone.\n"
            "\n"
            "Examples:\n"
            "  %1 --set \"Play Mode=Mono\" --output dump\n"
            "  %1 --show live.zr\n"
            "  %1 --edit live.zr \"octave shift=up\" \"pick. e2=8\"\n"
            "\n"
            "Parameters:\n")
            .arg(QCoreApplication::applicationName());
    for (const DeviceParameter& row : parameterTable()) {
        text += QStringLiteral("  %1: %2\n").arg(toQString(row.label), oneOf(row.values));
    }
    context_.out << text;
    return kCommandSucceeded;
}

int CommandLine::listOutputs() {
    MidiOutputPort port(context_.host());
    port.list();
    if (const std::optional<std::string> none = port.whyNoOutputs()) {
        return fail(toQString(*none));
    }
    const std::vector<std::string>& names = port.outputNames();
    for (std::size_t index = 0; index < names.size(); ++index) {
        context_.out << index << '\t' << printable(names[index]) << '\n';
    }
    return kCommandSucceeded;
}

int CommandLine::listParameters() {
    for (const DeviceParameter& row : parameterTable()) {
        context_.out << row.index << '\t' << toQString(row.label);
        for (std::string_view entry : row.values) {
            context_.out << '\t' << toQString(entry);
        }
        context_.out << '\n';
    }
    return kCommandSucceeded;
}

/// The output a send goes to, or why there is none.
struct Destination {
    int index = -1;
    QString error;
};

/// OUT of --output: a number is an index; any other text must be part of
/// exactly one output's name, in any letter case, unless it is one output's
/// whole name. A name is taken as it is listed and as --list-outputs prints
/// it, escaped.
Destination chooseByArgument(std::string_view wanted, const std::vector<std::string>& names) {
    if (isIndex(wanted)) {
        const std::size_t digits = wanted.size();
        const std::size_t index = digits > 9 ? names.size() : std::stoul(std::string(wanted));
        if (index >= names.size()) {
            return {-1, QStringLiteral("there is no MIDI output %1 (see --list-outputs)")
                            .arg(toQString(wanted))};
        }
        return {static_cast<int>(index), {}};
    }
    const QString text = toQString(wanted);
    std::vector<int> parts;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::array<QString, 2> forms{toQString(names[i]), printable(names[i])};
        if (std::ranges::any_of(forms, [&](const QString& form) {
                return form.compare(text, Qt::CaseInsensitive) == 0;
            })) {
            return {static_cast<int>(i), {}};
        }
        if (std::ranges::any_of(forms, [&](const QString& form) {
                return form.contains(text, Qt::CaseInsensitive);
            })) {
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

/// "<name>: <text>", or the text alone where it names the output itself.
QString aboutOutput(const std::string& name, const std::string& text) {
    const QString said = printable(text);
    const QString shown = printable(name);
    return said.contains(shown) ? said : shown + QStringLiteral(": ") + said;
}

int CommandLine::send(const std::vector<MessageBytes>& messages,
                      const std::optional<std::string>& output) {
    MidiOutputPort port(context_.host());
    port.list();
    if (const std::optional<std::string> none = port.whyNoOutputs()) {
        return fail(toQString(*none));
    }
    const std::vector<std::string>& names = port.outputNames();
    Destination destination;
    if (output) {
        destination = chooseByArgument(*output, names);
    } else {
        // The output the panel would open at start.
        destination.index = chooseStoredOutput(storedOutput(context_.settings), names).index;
        if (destination.index < 0 || static_cast<std::size_t>(destination.index) >= names.size()) {
            destination = {-1, QStringLiteral("the stored MIDI output %1 is not there; choose "
                                              "one with --output")
                                   .arg(destination.index)};
        }
    }
    if (destination.index < 0) {
        return fail(destination.error);
    }
    const std::string& name = names[static_cast<std::size_t>(destination.index)];
    if (const int number = requested(); number != 0) {
        return ended(number);
    }
    if (const MidiResult opened = port.startOn(destination.index); !opened.ok()) {
        return fail(aboutOutput(name, opened.text));
    }
    const Transmission sent = port.transmit(messages, {}, [this] { return requested() == 0; });
    // The close waits for the last message to have arrived.
    const MidiResult closed = port.shutDown();
    const MidiResult& problem = sent.result.ok() ? closed : sent.result;
    if (!problem.ok()) {
        return fail(QStringLiteral("sent %1 of %2 messages: %3")
                        .arg(sent.left)
                        .arg(messages.size())
                        .arg(aboutOutput(name, problem.text)));
    }
    if (sent.cutShort) {
        return ended(requested(), QStringLiteral(" after %1 of %2 messages; the output is closed")
                                      .arg(sent.left)
                                      .arg(messages.size()));
    }
    return kCommandSucceeded;
}

int CommandLine::show(const FileName& path) {
    ParameterSet set;
    if (SysExFile::hasExtension(path)) {
        const Read<SysExFile::Import> imported = SysExFile::read(path);
        if (!imported) {
            return fail(QStringLiteral("%1: cannot read it: %2").arg(shown(path), imported.error));
        }
        set = imported->set;
    } else if (PresetFile::hasExtension(path)) {
        const auto preset = readPreset(path);
        if (const Stop* stop = std::get_if<Stop>(&preset)) {
            return fail(*stop);
        }
        set = std::get<ParameterSet>(preset);
    } else {
        return fail(wrongName(path, "the name must end in .zr, .ZR, .syx or .SYX"));
    }
    for (const DeviceParameter& row : parameterTable()) {
        const int selection = set.selection(row.index);
        context_.out << toQString(row.label) << '\t'
                     << (selection == kNoSelection
                             ? QStringLiteral("(none)")
                             : toQString(row.values[static_cast<std::size_t>(selection)]))
                     << '\n';
    }
    return kCommandSucceeded;
}

int CommandLine::edit(const FileName& path, std::span<const std::string> settings) {
    const auto changes = readSettings(settings);
    if (const Stop* stop = std::get_if<Stop>(&changes)) {
        return fail(*stop);
    }
    if (!PresetFile::hasExtension(path)) {
        return fail(wrongName(path, PresetFile::kNameRule));
    }
    // A preset that is not there yet is made from the default selections.
    struct stat status {};
    ParameterSet set = ParameterSet::defaults();
    if (::lstat(path.bytes().constData(), &status) == 0 || errno != ENOENT) {
        const auto preset = readPreset(path);
        if (const Stop* stop = std::get_if<Stop>(&preset)) {
            return fail(*stop);
        }
        set = std::get<ParameterSet>(preset);
    }
    for (const Setting& change : std::get<std::vector<Setting>>(changes)) {
        set.set(change.index, change.selection);
    }
    if (const Written written = PresetFile::write(path, set); !written.ok()) {
        return fail(QStringLiteral("%1: cannot write it: %2").arg(shown(path), written.error));
    }
    return kCommandSucceeded;
}

int CommandLine::exportSysEx(const FileName& presetPath, const FileName& sysExPath) {
    if (!SysExFile::hasExtension(sysExPath)) {
        return fail(wrongName(sysExPath, SysExFile::kNameRule));
    }
    const auto set = readPreset(presetPath);
    if (const Stop* stop = std::get_if<Stop>(&set)) {
        return fail(*stop);
    }
    if (const Written written = SysExFile::write(sysExPath, std::get<ParameterSet>(set));
        !written.ok()) {
        return fail(QStringLiteral("%1: cannot write it: %2").arg(shown(sysExPath), written.error));
    }
    return kCommandSucceeded;
}

int CommandLine::importSysEx(const FileName& sysExPath, const FileName& presetPath) {
    for (const auto& [path, isRight, rule] :
         {std::tuple{&sysExPath, SysExFile::hasExtension(sysExPath), SysExFile::kNameRule},
          std::tuple{&presetPath, PresetFile::hasExtension(presetPath), PresetFile::kNameRule}}) {
        if (!isRight) {
            return fail(wrongName(*path, rule));
        }
    }
    const Read<SysExFile::Import> imported = SysExFile::read(sysExPath);
    if (!imported) {
        return fail(
            QStringLiteral("%1: cannot import it: %2").arg(shown(sysExPath), imported.error));
    }
    if (const Written written = PresetFile::write(presetPath, imported->set); !written.ok()) {
        return fail(
            QStringLiteral("%1: cannot write it: %2").arg(shown(presetPath), written.error));
    }
    if (imported->skipped > 0) {
        context_.err << QCoreApplication::applicationName() << ": " << shown(sysExPath)
                     << ": skipped " << imported->skipped
                     << (imported->skipped == 1 ? " message or byte run" : " messages or byte runs")
                     << " that set nothing on the converter" << Qt::endl;
    }
    return kCommandSucceeded;
}

} // namespace

CommandLineRequest parseCommandLine(std::span<const std::string> arguments) {
    CommandLineRequest request;
    const auto refuse = [&](std::string why) {
        if (request.usageError.empty()) {
            request.usageError = std::move(why);
        }
    };
    std::vector<Mode> modes;
    std::size_t outputs = 0;
    bool optionsEnd = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (optionsEnd || !argument.starts_with('-') || argument == "-") {
            request.operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnd = true;
        } else if (argument == "-h" || argument == "--help") {
            modes.push_back(Mode::Help);
        } else if (argument == "-v" || argument == "--version") {
            modes.push_back(Mode::Version);
        } else if (argument == "--output" || argument.starts_with("--output=")) {
            ++outputs;
            if (argument == "--output") {
                if (at + 1 == arguments.size()) {
                    refuse("--output takes an index or a part of an output's name");
                    continue;
                }
                request.output = arguments[++at];
            } else {
                request.output = argument.substr(std::string_view("--output=").size());
            }
        } else if (const auto found = std::ranges::find(kModes, argument, &ModeOption::name);
                   found != kModes.end()) {
            modes.push_back(found->mode);
        } else {
            refuse("unknown option '" + argument + "'");
        }
    }
    if (!request.usageError.empty()) {
        return request;
    }
    // Help and the version go before everything else, whatever comes with them.
    for (const Mode first : {Mode::Help, Mode::Version}) {
        if (std::ranges::find(modes, first) != modes.end()) {
            request.mode = first;
            return request;
        }
    }
    std::string names;
    for (const ModeOption& option : kModes) {
        names += (names.empty()               ? ""
                  : &option == &kModes.back() ? " or "
                                              : ", ") +
                 std::string(option.name);
    }
    if (modes.size() != 1) {
        refuse(modes.empty() ? "give " + names : "give one of " + names);
        return request;
    }
    request.mode = modes.front();
    const ModeOption& option = *modeOption(request.mode);
    if (request.operands.size() < option.least || request.operands.size() > option.most) {
        refuse(std::string(option.name) + " takes " + std::string(option.takes) + ", not " +
               std::to_string(request.operands.size()));
    } else if (outputs > 1) {
        refuse("--output is given more than once");
    } else if (request.output && !option.takesOutput) {
        refuse("--output goes with --send and --set only");
    } else if (request.output && request.output->empty()) {
        refuse("--output takes an index or a part of an output's name");
    }
    return request;
}

int runCommandLine(const CommandLineRequest& request, CommandLineContext context) {
    return CommandLine(context).run(request);
}

} // namespace zr70
