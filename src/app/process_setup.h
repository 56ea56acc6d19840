#pragma once

// What the program sets up in its own process before the QApplication exists.

class QProcessEnvironment;

namespace zr70 {

/// True where the panel should run on X11 rather than Wayland: a Wayland
/// session (XDG_SESSION_TYPE "wayland" or WAYLAND_DISPLAY set) that also offers
/// X11 (DISPLAY set, as XWayland does), when the user has chosen no platform
/// (QT_QPA_PLATFORM unset or empty). On Wayland a program can neither place its
/// window nor learn where it is, so the window would not come back where the
/// user left it.
bool startsOnX11(const QProcessEnvironment& environment);

/// Sets QT_QPA_PLATFORM to "xcb" where startsOnX11() says so. Call it before
/// the QApplication is constructed.
void chooseDisplayPlatform();

} // namespace zr70
