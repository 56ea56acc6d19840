// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files.

#include "app/command_line.h"
#include "app/process_setup.h"
#include "main/control_panel_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    zr70::ignoreFileSizeLimitSignal();
    // With arguments: the command line, which needs no display.
    if (argc > 1) {
        return zr70::commandLineMain(argc, argv);
    }
    zr70::chooseDisplayPlatform();
    // JACK's clients open on their own thread while Qt starts.
    zr70::SystemMidiHost host;
    QApplication application(argc, argv);
    zr70::ControlPanelApp panel;
    return panel.run(host);
}
