#pragma once

namespace zr70 {

/// main() without arguments: the panel. Its window, and Qt Widgets with all
/// it brings, are a module the program loads only now (zr70-panel.so, beside
/// the program in the build, in <libdir>/zr70 where it is installed), so the
/// command line starts without them. JACK's client and the stored output
/// open while the module loads and Qt starts. Returns the exit status.
int panelMain(int argc, char* argv[]);

} // namespace zr70
