// The panel's window, started by the program when it has no arguments (see
// window_launcher.h): the program's own path comes as the first argument, and
// its name is the one the user knows the program by.

#include "app/process_setup.h"
#include "app/settings_profile.h"
#include "app/termination_signals.h"
#include "main/control_panel_app.h"
#include "midi/system_midi_host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

int main(int argc, char* argv[]) {
    // Before any thread or JACK client exists.
    zr70::catchSignals();
    zr70::chooseDisplayPlatform();
    // "zr70" for /usr/bin/zr70: the settings file's name, and every title.
    QCoreApplication::setApplicationName(
        QFileInfo(QFile::decodeName(argc > 0 ? argv[0] : "zr70")).completeBaseName());
    // JACK's client, and the stored output, open while Qt starts.
    zr70::SystemMidiHost host;
    if (const zr70::StoredOutput stored = zr70::storedOutput(zr70::SettingsProfile());
        stored.name) {
        host.openAhead(*stored.name, stored.index);
    }
    QApplication application(argc, argv);
    zr70::ControlPanelApp panel;
    return panel.run(host);
}
