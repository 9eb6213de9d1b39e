#pragma once

namespace ui {

// Qt's own texts (the text fields' context menu, a message box's button) in Spanish,
// whatever the machine's locale, as the rest of the interface is. Call once, after
// the QApplication exists and before any window is made.
void installSpanishTranslation();

} // namespace ui
