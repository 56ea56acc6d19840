#pragma once

namespace zr70 {

/// main() without arguments: becomes the panel's window, an executable of its
/// own (zr70-panel: beside the program in the build, in <libexecdir>/zr70
/// where it is installed) that links Qt Widgets, so that the command line
/// starts without them. Nothing but the arguments and the environment goes
/// across: the window's executable is started under the program's own path
/// as its first argument, whose name names the settings file and the message
/// boxes. Returns only when the window's executable cannot be started, with
/// the exit status after one line on stderr.
int runWindow();

} // namespace zr70
