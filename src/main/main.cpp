// The ZR-70 control panel: sets the converter's parameters over MIDI System
// Exclusive and keeps them in preset files. Without arguments it is the
// panel; with arguments, a command line that needs no display.

#include "app/termination_signals.h"
#include "main/command_line_main.h"
#include "main/window_launcher.h"

int main(int argc, char* argv[]) {
    if (argc <= 1) {
        // The window's executable takes the signals over itself.
        return zr70::runWindow();
    }
    // Before any thread or JACK client exists.
    zr70::catchSignals();
    return zr70::commandLineMain(argc, argv);
}
