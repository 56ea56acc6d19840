#pragma once

#include "app/settings.h"
#include "midi/midi_host.h"

#include <QString>
#include <QStringList>

#include <functional>

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

/// What the command line works with besides its arguments.
struct CommandLineContext {
    /// The MIDI host, made on first use: modes that only convert files never
    /// touch a MIDI system.
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

/// The program without a window. `arguments` are the whole command line, the
/// program's own name first:
///
///   --list-outputs                  one line per output: index, tab, name
///   --send FILE.zr [--output OUT]   the preset's send-all messages to one output
///   --export-syx FILE.zr OUT.syx    the same messages as a SysEx file
///   --import-syx IN.syx OUT.zr      a SysEx file's settings as a preset
///   --help, --version
///
/// Each failure writes one line to `err`, and so does a failure to write
/// `out`. Returns a CommandLineStatus; after a request to end, kEndedBySignal
/// + its number and one line.
int runCommandLine(const QStringList& arguments, CommandLineContext context);

/// The program's arguments as runCommandLine takes them: each one's bytes as
/// they are (see decodeFileName), so that a file name names the same file.
QStringList commandLineArguments(int argc, char* argv[]);

} // namespace zr70
