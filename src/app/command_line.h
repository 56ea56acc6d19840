#pragma once

#include "app/settings.h"
#include "midi/midi_host.h"

#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QTextStream;

namespace zr70 {

/// Exit statuses of the command line.
enum CommandLineStatus : int {
    kCommandSucceeded = 0,
    kCommandFailed = 1, ///< a bad file, a missing output, a failed send...
    kUsageError = 2,    ///< arguments the command line does not understand
    /// 128 + the signal's number: ended by a request to end, after closing
    /// what was open (130 for Ctrl+C, as a shell reports it).
    kEndedBySignal = 128,
};

/// What the command line is asked to do, read once from its arguments:
///
///   --list-outputs                     one line per output: index, tab, name
///   --list-parameters                  one line per parameter: number, label, entries
///   --send FILE.zr [--output OUT]      the preset's send-all messages to one output
///   --set NAME=VALUE... [--output OUT] one message per parameter named, in that order
///   --show FILE                        a preset or SysEx file's parameters, in words
///   --edit FILE.zr NAME=VALUE...       a preset file with those parameters changed
///   --export-syx FILE.zr OUT.syx       the same messages as a SysEx file
///   --import-syx IN.syx OUT.zr         a SysEx file's settings as a preset
///   --help, --version
struct CommandLineRequest {
    enum class Mode {
        None,
        Help,
        Version,
        ListOutputs,
        ListParameters,
        Send,
        Set,
        Show,
        Edit,
        ExportSysEx,
        ImportSysEx,
    };
    Mode mode = Mode::None;
    /// File names and NAME=VALUE settings, each as the bytes it was given as.
    std::vector<std::string> operands;
    std::optional<std::string> output;
    /// Why the arguments are not understood; empty when they are.
    std::string usageError;

    /// Whether the mode uses a MIDI output, so that the outputs can start
    /// opening while the rest of the program starts.
    bool usesMidi() const {
        return mode == Mode::ListOutputs || mode == Mode::Send || mode == Mode::Set;
    }
};

/// Reads the arguments after the program's name.
CommandLineRequest parseCommandLine(std::span<const std::string> arguments);

/// What the command line works with besides its arguments.
struct CommandLineContext {
    /// The MIDI host, made on first use: modes that only read or write files
    /// never touch a MIDI system.
    std::function<MidiHost&()> host;
    /// The settings file, only ever read.
    const Settings& settings;
    QTextStream& out;
    QTextStream& err;
    /// The request to end (SIGTERM, SIGINT, SIGHUP) that has arrived, 0 for
    /// none. Asked before the output opens, before each message and when the
    /// mode is done; none when empty.
    std::function<int()> endRequested = {};
};

/// The program without a window. Each failure writes one line to `err`, and
/// so does a failure to write `out`; every name in what it writes (a file's,
/// an output's) stands on one line, escaped as printable() does. Returns a
/// CommandLineStatus; after a request to end, kEndedBySignal + its number and
/// one line.
int runCommandLine(const CommandLineRequest& request, CommandLineContext context);

/// `bytes` (a name, or what the user gave) as it can stand in one line of
/// output: UTF-8 characters stay, a backslash becomes \\, a newline \n, a tab
/// \t, and every other control character and every byte that is no part of a
/// UTF-8 character \xNN.
QString printable(std::string_view bytes);

} // namespace zr70
