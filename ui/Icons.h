#pragma once

#include <QIcon>
#include <QPixmap>

namespace ui {

// The program's own icons, each a 32 x 32 and a 16 x 16 image in 16 colours.
QIcon logoIcon();    // the product: an address book
QIcon magnetIcon();  // the About window: a horseshoe magnet

// The large image of the logo, for pictures that stretch it.
QPixmap logoImage();

} // namespace ui
