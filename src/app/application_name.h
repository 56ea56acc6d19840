#pragma once

#include <QString>

namespace zr70 {

/// The executable's file name without directory and extension: the title of
/// every message box and the name of the settings file. Only the last suffix
/// goes: "zr70" stays "zr70", "zr70.bin" becomes "zr70". Asked once the
/// application object exists.
QString executableBaseName();

} // namespace zr70
