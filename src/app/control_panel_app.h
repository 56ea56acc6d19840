#pragma once

#include "ui/pages.h"

#include <QString>

namespace zr70 {

/// The application object: the program's name and its four pages, which live
/// for the whole run. The pages are constructed in the order Controls,
/// Sensitivity, Presets, MIDI setup and destroyed in reverse; the main window
/// exists only while run() runs it.
class ControlPanelApp {
public:
    ControlPanelApp();

    /// Starts the panel and runs its window until the user closes it. Returns
    /// the process exit status: 0 after a normal close, and 0 also when
    /// start-up ends early for lack of a MIDI output.
    int run();

    /// The executable's file name without directory and extension: the title
    /// of every message box and the name of the settings file.
    const QString& applicationName() const { return applicationName_; }

private:
    QString applicationName_;
    ControlsPage controls_;
    SensitivityPage sensitivity_;
    PresetsPage presets_;
    MidiSetupPage midiSetup_;
};

} // namespace zr70
