#pragma once

#include "midi/bounded_midi_host.h"
#include "midi/joined_midi_host.h"
#include "midi/rtmidi_host.h"

#include <QString>

namespace zr70 {

/// The panel's MIDI outputs: the ALSA sequencer's, which answers at once, and
/// the JACK server's, made and used on a thread of their own so that no wait
/// on a server that has stopped answering takes longer than about 2 s; the two
/// joined into one device list. They are made before the application object,
/// so that JACK's clients open while Qt starts and the window is built; the
/// panel waits for them only when its start-up lists the devices.
class MidiOutputs {
public:
    MidiOutputs();

    MidiHost& host() { return joined_; }

    /// Closes JACK's clients. False when the JACK server does not answer: the
    /// process must then end at once (BoundedMidiHost::finish).
    bool finish() { return jack_.finish(); }

private:
    RtMidiHost alsa_;
    BoundedMidiHost jack_;
    JoinedMidiHost joined_;
};

/// The application object: the program's name; the panel and its main window
/// exist only while run() runs them.
class ControlPanelApp {
public:
    ControlPanelApp();

    /// Starts the panel on `outputs` and runs its window until the user
    /// closes it. Returns the process exit status: 0 after a normal close, and
    /// 0 also when start-up ends early for lack of a MIDI output.
    int run(MidiOutputs& outputs);

    /// The executable's file name without directory and extension: the title
    /// of every message box and the name of the settings file.
    const QString& applicationName() const { return applicationName_; }

private:
    QString applicationName_;
};

} // namespace zr70
