#pragma once

#include <windows.h>

namespace win32 {

// A list box's scroll box that reaches every entry of a long list. The list box
// takes the dragged position from WM_VSCROLL, which holds only 16 bits of it, so
// past entry 65,535 a drag lands elsewhere; the whole position is in the scroll
// bar (GetScrollInfo). Everything else stays the list box's own.
namespace ListBoxScroll {

void attach(HWND listBox);

} // namespace ListBoxScroll

} // namespace win32
