// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files.

#include "app/command_line.h"
#include "app/control_panel_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // With arguments: the command line, which needs no display.
    if (argc > 1) {
        return zr70::commandLineMain(argc, argv);
    }
    QApplication application(argc, argv);
    zr70::ControlPanelApp panel;
    return panel.run();
}
