// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files.

#include "app/control_panel_app.h"
#include "app/process_setup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    zr70::ignoreFileSizeLimitSignal();
    zr70::chooseDisplayPlatform();
    QApplication application(argc, argv);
    zr70::ControlPanelApp panel;
    return panel.run();
}
