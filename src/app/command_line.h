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
/// Each failure writes one line to `err`. Returns a CommandLineStatus; after a
/// request to end, kEndedBySignal + its number and one line.
int runCommandLine(const QStringList& arguments, CommandLineContext context);

/// main() with arguments: runs runCommandLine on a QCoreApplication (no
/// display needed) with the MIDI host the panel uses, the settings file of the
/// program and SIGTERM, SIGINT and SIGHUP as requests to end (a second one
/// half a second later ends the process at once), and returns the exit
/// status. A JACK server that does not answer is left behind with _exit.
int commandLineMain(int argc, char* argv[]);

} // namespace zr70
