#pragma once

#include <QIcon>
#include <QImage>

namespace zr70 {

/// Bitmap resource of the model name shown in the About box.
inline constexpr int kModelBitmapResource = 129;

/// The program icon at `size` x `size` pixels: the lower-case letters zr in
/// lime green outlined in navy on a transparent background.
QImage renderProgramIcon(int size);

/// The program icon with its 16 and 32 pixel images (and larger ones for
/// high-density screens).
QIcon programIcon();

/// The model name ZR-70 in navy block letters on white, 60 x 17 pixels.
QImage renderModelBitmap();

/// The bitmap with the given resource number; a null image for an unknown one.
QImage bitmapResource(int resource);

/// The icon sizes the program ships as files for desktop menus.
inline constexpr int kIconFileSizes[] = {16, 32, 48, 64, 128};

} // namespace zr70
