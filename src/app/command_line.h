#pragma once

#include "midi/integer_settings.h"
#include "midi/midi_host.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

class QTextStream;

namespace zr70 {

/// Exit statuses of the command line.
enum CommandLineStatus : int {
    kCommandSucceeded = 0,
    kCommandFailed = 1, ///< a bad file, a missing output, a failed send...
    kUsageError = 2,    ///< arguments the command line does not understand
};

/// What the command line works with besides its arguments.
struct CommandLineContext {
    /// The MIDI host, made on first use: modes that only convert files never
    /// touch a MIDI system.
    std::function<MidiHost&()> host;
    /// The settings file, only ever read.
    const IntegerSettings& settings;
    /// "mididevicename" from the settings file, when it has one.
    std::optional<std::string> storedOutputName;
    QTextStream& out;
    QTextStream& err;
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
/// Each failure writes one line to `err`. Returns a CommandLineStatus.
int runCommandLine(const QStringList& arguments, CommandLineContext context);

/// main() with arguments: runs runCommandLine on a QCoreApplication (no
/// display needed) with the real MIDI host and the settings file of the
/// program, and returns the exit status.
int commandLineMain(int argc, char* argv[]);

/// "mididevicename" in section zr70 of the settings file at `path`, when it
/// holds a single non-empty text.
std::optional<std::string> readStoredOutputName(const QString& path);

} // namespace zr70
