// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files.

#include "app/application_name.h"
#include "app/command_line.h"
#include "app/process_setup.h"
#include "app/settings_profile.h"
#include "main/control_panel_app.h"

#include <QApplication>

#include <optional>
#include <string>

int main(int argc, char* argv[]) {
    zr70::ignoreFileSizeLimitSignal();
    // With arguments: the command line, which needs no display.
    if (argc > 1) {
        return zr70::commandLineMain(argc, argv);
    }
    zr70::chooseDisplayPlatform();
    // JACK's clients open on their own thread while Qt starts, and so does
    // the output stored by name; the panel's start takes it.
    zr70::SystemMidiHost host;
    QCoreApplication::setApplicationName(zr70::executableBaseName());
    if (const zr70::StoredOutput stored = zr70::storedOutput(zr70::SettingsProfile());
        stored.name) {
        host.openAhead(*stored.name, stored.index);
    }
    QApplication application(argc, argv);
    zr70::ControlPanelApp panel;
    return panel.run(host);
}
