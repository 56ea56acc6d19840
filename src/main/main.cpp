// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files.

#include "main/control_panel_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    zr70::ControlPanelApp panel;
    return panel.run();
}
