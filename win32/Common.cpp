#include "win32/Common.h"

#include "version/Version.h"

namespace win32 {

int screenDpi()
{
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int value = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

int px(int twips)
{
    return forms::twipsToPixels(twips, screenDpi());
}

RECT toPixels(const forms::TwipRect &place)
{
    const int left = px(place.left);
    const int top = px(place.top);
    return RECT{left, top, left + px(place.width), top + px(place.height)};
}

HFONT makeFont(const wchar_t *face, double points, bool bold)
{
    LOGFONTW font{};
    font.lfHeight = -forms::pointsToPixels(points, screenDpi());
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

HFONT makeFont(const forms::Font &font)
{
    return makeFont(widen(font.face).c_str(), font.points, font.bold);
}

COLORREF colorRef(const forms::Colour &colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}

HFONT dialogFont()
{
    // "MS Shell Dlg" is the system's dialog face: Tahoma from Windows 2000 on and
    // under Wine, MS Sans Serif before.
    static const HFONT font = makeFont(L"MS Shell Dlg", 8);
    return font;
}

HWND makeControl(HWND parent, const wchar_t *cls, const std::string &text, DWORD style, int id,
                 const RECT &place, HFONT font, DWORD exStyle)
{
    HWND control = CreateWindowExW(exStyle, cls, widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                                   place.top, place.right - place.left, place.bottom - place.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                   nullptr);
    if (control == nullptr)
        throw WindowCreationFailed();
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

std::string windowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return narrow(text);
}

RECT windowRectForClient(int clientLeft, int clientTop, int width, int height, DWORD style, DWORD exStyle,
                         bool menu)
{
    RECT rect{clientLeft, clientTop, clientLeft + width, clientTop + height};
    AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
    return rect;
}

void centre(HWND window, const RECT &area)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const wchar_t *programTitle()
{
    static const std::wstring title = widen(version::kProductName);
    return title.c_str();
}

void showMessage(HWND owner, const std::string &text)
{
    const bool owned = owner != nullptr && IsWindowVisible(owner);
    MessageBoxW(owned ? owner : nullptr, widen(text).c_str(), programTitle(), MB_OK);
    // The focus comes back to the window the message belongs to. Windows does so
    // itself; under Wine the X window manager chooses, and openbox passes over a
    // tool window (the About window) for the main window.
    if (owned && IsWindow(owner) && IsWindowVisible(owner))
        SetForegroundWindow(owner);
}

} // namespace win32
