#pragma once

#include "forms/Layout.h"

#include <windows.h>

#include <functional>
#include <string>

namespace win32 {

std::wstring widen(const std::string &utf8);
std::string narrow(const std::wstring &text);

// The screen's dots per inch, which the twip layouts scale to (96 under Wine).
int screenDpi();
int px(int twips);
RECT toPixels(const forms::TwipRect &place);

// A font of `points` at the screen's dpi; weight 400 or 700.
HFONT makeFont(const wchar_t *face, double points, bool bold = false);
// The default dialog font for every control that the design gives no font.
HFONT dialogFont();

// A class of top-level window with the dialog's face colour and the icon `iconId`
// of the program's resources, big and small; registering it again does nothing.
void registerWindowClass(const wchar_t *name, int iconId);

HWND makeControl(HWND parent, const wchar_t *cls, const std::string &text, DWORD style, int id,
                 const RECT &place, HFONT font, DWORD exStyle = 0);
std::string windowText(HWND window);

// A window of `client` size (pixels) with `style`, placed so that its client area
// starts at `clientLeft`, `clientTop` on the screen.
RECT windowRectForClient(int clientLeft, int clientTop, int width, int height, DWORD style, DWORD exStyle,
                         bool menu);
// Moves `window` to the centre of `area`.
void centre(HWND window, const RECT &area);

// The program's modal message, titled "Vorteda".
void showMessage(HWND owner, const std::string &text);

// Runs a handler; an exception that no handler expects is reported and ends the program.
void guarded(HWND owner, const std::function<void()> &handler);

// The program runs while one of its windows is open or a hand-over holds it.
namespace lifetime {
void windowOpened();
void windowClosed();
struct Hold {
    Hold();
    ~Hold();
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;
};
// Closes every window and ends the message loop.
void quit();
} // namespace lifetime

// The key that ended the splash: its auto-repeats and its release are kept from the
// window that comes up. Called with the WM_CHAR's lParam.
void swallowKey(LPARAM keyData);
// Whether the message loop drops `msg` for that reason.
bool swallowed(const MSG &msg);

} // namespace win32
