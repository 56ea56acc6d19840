// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files. Without arguments it is the
// panel; with arguments, a command line that needs no display.

#include "app/termination_signals.h"
#include "main/command_line_main.h"
#include "main/panel_main.h"

int main(int argc, char* argv[]) {
    // Before any thread or JACK client exists.
    zr70::catchSignals();
    if (argc > 1) {
        return zr70::commandLineMain(argc, argv);
    }
    return zr70::panelMain(argc, argv);
}
