#pragma once

#include "forms/Layout.h"
#include "platform/Utf16.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace win32 {

// The one conversion between the program's texts (UTF-8, in forms/ and wording/)
// and the system's UTF-16.
using platform::narrow;
using platform::widen;

// The screen's dots per inch, which the twip layouts scale to (96 under Wine).
int screenDpi();
int px(int twips);
RECT toPixels(const forms::TwipRect &place);

// A font of `points` at the screen's dpi; weight 400 or 700.
HFONT makeFont(const wchar_t *face, double points, bool bold = false);
HFONT makeFont(const forms::Font &font);
COLORREF colorRef(const forms::Colour &colour);
// The default dialog font for every control that the design gives no font; made
// once and kept for the program's life.
HFONT dialogFont();

// The system refused to make a window or control (out of its resources).
class WindowCreationFailed : public std::runtime_error {
public:
    WindowCreationFailed() : std::runtime_error("CreateWindowEx failed") {}
};

// A child control; throws WindowCreationFailed when the system refuses it.
HWND makeControl(HWND parent, const wchar_t *cls, const std::string &text, DWORD style, int id,
                 const RECT &place, HFONT font, DWORD exStyle = 0);
std::string windowText(HWND window);

// A window of `client` size (pixels) with `style`, placed so that its client area
// starts at `clientLeft`, `clientTop` on the screen.
RECT windowRectForClient(int clientLeft, int clientTop, int width, int height, DWORD style, DWORD exStyle,
                         bool menu);
// Moves `window` to the centre of `area`.
void centre(HWND window, const RECT &area);

// The title of the program's messages, questions and progress window: the product's
// name, as the Qt program titles them.
const wchar_t *programTitle();

// The program's modal message, titled with programTitle().
void showMessage(HWND owner, const std::string &text);

} // namespace win32
