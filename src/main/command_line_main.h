#pragma once

namespace zr70 {

/// main() with arguments: runs the command line on a QCoreApplication (no
/// display needed) with the MIDI outputs the panel uses and the settings file
/// of the program (only ever read); the requests to end that catchSignals()
/// caught stop a send between messages. Returns the exit status. A JACK
/// server that does not answer is left behind with _exit.
int commandLineMain(int argc, char* argv[]);

} // namespace zr70
