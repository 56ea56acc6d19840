#pragma once

#include "midi/system_midi_host.h"

#include <QString>

namespace zr70 {

/// The application object: the program's name; the panel and its main window
/// exist only while run() runs them.
class ControlPanelApp {
public:
    ControlPanelApp();

    /// Starts the panel on `host` and runs its window until the user closes
    /// it. The host is made before the application object, so that JACK's
    /// clients open on their own thread while Qt starts and the window is
    /// built; the panel waits for them only when its start-up lists the
    /// devices. Returns the process exit status: 0 after a normal close, and
    /// 0 also when start-up ends early for lack of a MIDI output.
    int run(SystemMidiHost& host);

    /// The program's name, as the application's name was set before: the
    /// title of every message box and the name of the settings file.
    const QString& applicationName() const { return applicationName_; }

private:
    QString applicationName_;
};

} // namespace zr70
