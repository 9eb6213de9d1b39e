#pragma once

namespace ui {

// Makes the windows' fonts available and sets the default dialog font, Tahoma 8 pt.
// Call once, after the QApplication exists and before any window is made.
void installFonts();

} // namespace ui
