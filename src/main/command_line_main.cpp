#include "main/command_line_main.h"

#include "app/application_name.h"
#include "app/command_line.h"
#include "app/settings_profile.h"
#include "app/termination_signals.h"
#include "midi/system_midi_host.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <memory>
#include <string>
#include <vector>

namespace zr70 {

int commandLineMain(int argc, char* argv[]) {
    // The arguments are bytes, file names among them: taken as they are,
    // they name the same files.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLineRequest request = parseCommandLine(arguments);
    // A mode that uses a MIDI output starts JACK's client at once, so that its
    // open runs while Qt starts and the preset is read.
    std::unique_ptr<SystemMidiHost> host;
    if (request.usesMidi()) {
        host = std::make_unique<SystemMidiHost>();
    }
    QCoreApplication application(argc, argv);
    // The same name as the panel's, so the same settings file.
    QCoreApplication::setApplicationName(executableBaseName());
    QCoreApplication::setApplicationVersion(QStringLiteral(ZR70_VERSION));

    const SettingsProfile settings;
    TerminationSignals termination;
    int requested = 0;
    QObject::connect(&termination, &TerminationSignals::received, [&requested](int number) {
        if (requested == 0) {
            requested = number;
        }
    });
    // Through a file of its own, so that a failed write says why.
    QFile standardOutput;
    standardOutput.open(stdout, QIODevice::WriteOnly);
    QTextStream out(&standardOutput);
    QTextStream err(stderr);
    const int status = runCommandLine(request, {[&host]() -> MidiHost& {
                                                    if (!host) {
                                                        host = std::make_unique<SystemMidiHost>();
                                                    }
                                                    return *host;
                                                },
                                                settings, out, err,
                                                [&requested] {
                                                    // The signal's pipe is read here.
                                                    QCoreApplication::processEvents();
                                                    return requested;
                                                }});
    // JACK's client closes here; a server that does not answer is left behind.
    if (host && !host->finish()) {
        endProcessAtOnce(status);
    }
    return status;
}

} // namespace zr70
