#include "win32/SplashWindow.h"

#include "forms/Program.h"
#include "version/Version.h"
#include "win32/Common.h"
#include "win32/ControlIds.h"
#include "win32/Win32Program.h"

namespace win32 {

namespace {

namespace layout = forms::splash;
using Keep = forms::splash::Keep;

// A fixed dialog border and no title bar; no taskbar button.
constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr UINT_PTR kTimer1 = 1;

void paintBackground(HWND window, HDC dc, COLORREF colour)
{
    RECT rect;
    GetClientRect(window, &rect);
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

} // namespace

SplashWindow::SplashWindow(Win32Program &root)
    : BaseWindow(root, forms::Window::Splash), m_frame1(root, *this), m_form(*this, root.program())
{
}

SplashWindow::~SplashWindow()
{
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_small), static_cast<HGDIOBJ>(m_company),
                           static_cast<HGDIOBJ>(m_product), static_cast<HGDIOBJ>(m_platform),
                           static_cast<HGDIOBJ>(m_darkRed)}) {
        if (object != nullptr)
            DeleteObject(object);
    }
    if (m_logo != nullptr)
        DestroyIcon(m_logo);
}

void SplashWindow::open()
{
    const RECT client = toPixels(layout::kClient);
    const RECT frame = windowRectForClient(0, 0, client.right, client.bottom, kStyle, kExStyle, false);
    if (create(kExStyle, L"", kStyle, 0, 0, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
               nullptr, nullptr, nullptr)
        == nullptr)
        throw WindowCreationFailed();
    createControls();
    root().program().run([this] { m_form.Form_Load(); });
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    centre(m_window, screen);
    ShowWindow(m_window, SW_SHOWNORMAL);
    root().program().windowOpened(forms::Window::Splash);
    SetForegroundWindow(m_window);
    SetFocus(m_window);
}

void SplashWindow::Frame::create(HWND parent)
{
    const RECT place = toPixels(layout::kFrame1);
    if (BaseWindow::create(0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left, place.top,
                           place.right - place.left, place.bottom - place.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFrame1)), nullptr, nullptr, nullptr)
        == nullptr)
        throw WindowCreationFailed();
}

HWND SplashWindow::label(int id, const std::string &text, const forms::TwipRect &place, DWORD align, HFONT font)
{
    return makeControl(m_frame1.handle(), L"STATIC", text, align | SS_NOPREFIX, id, toPixels(place), font);
}

void SplashWindow::createControls()
{
    m_darkRed = CreateSolidBrush(colorRef(layout::kFrameColour));
    m_frame1.create(m_window);

    // The 32 x 32 image, stretched pixel by pixel to the picture's size.
    m_logo = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconLogo), IMAGE_ICON,
                                           32, 32, 0));
    makeControl(m_frame1.handle(), L"STATIC", "", SS_OWNERDRAW, kImgLogo, toPixels(layout::kImgLogo), nullptr);

    m_small = makeFont(layout::kSmallFont);
    m_company = makeFont(layout::kCompanyProductFont);
    m_product = makeFont(layout::kProductNameFont);
    m_platform = makeFont(layout::kPlatformFont);
    label(kLblLicenseTo, layout::kLicenseTo, layout::kLblLicenseTo, SS_RIGHT, m_small);
    sizeToText(label(kLblCompanyProduct, layout::kCompanyProduct, layout::kLblCompanyProduct, SS_LEFT, m_company),
               layout::kLblCompanyProduct, Keep::Left);
    sizeToText(label(kLblProductName, version::kProductName, layout::kLblProductName, SS_LEFT, m_product),
               layout::kLblProductName, Keep::Left);
    sizeToText(label(kLblPlatform, layout::kPlatform, layout::kLblPlatform, SS_RIGHT, m_platform),
               layout::kLblPlatform, Keep::Right);
    m_lblVersion = label(kLblVersion, "", layout::kLblVersion, SS_RIGHT, m_platform);
    label(kLblCopyright, layout::kCopyright, layout::kLblCopyright, SS_LEFT, m_small);
    label(kLblCompany, layout::kCompany, layout::kLblCompany, SS_LEFT, m_small);
    label(kLblWarning, layout::kWarning, layout::kLblWarning, SS_LEFT, m_small);
}

void SplashWindow::sizeToText(HWND label, const forms::TwipRect &place, Keep edge)
{
    const std::wstring text = widen(windowText(label));
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    const RECT designed = toPixels(place);
    const forms::splash::PixelRect sized = forms::splash::sizeToText(
        {designed.left, designed.top, designed.right - designed.left, designed.bottom - designed.top}, size.cx,
        metrics.tmHeight, edge);
    SetWindowPos(label, nullptr, sized.left, sized.top, sized.width, sized.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT SplashWindow::Frame::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        paintBackground(m_window, reinterpret_cast<HDC>(wParam), colorRef(layout::kFrameColour));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        // Every label: the highlighted-text colour on an opaque dark red.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, colorRef(layout::kFrameColour));
        return reinterpret_cast<LRESULT>(m_splash.m_darkRed);
    }
    case WM_DRAWITEM: {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (item->CtlID == static_cast<UINT>(kImgLogo)) {
            FillRect(item->hDC, &item->rcItem, m_splash.m_darkRed);
            DrawIconEx(item->hDC, 0, 0, m_splash.m_logo, item->rcItem.right - item->rcItem.left,
                       item->rcItem.bottom - item->rcItem.top, 0, nullptr, DI_NORMAL);
        }
        return TRUE;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_window, &paint);
        RECT rect;
        GetClientRect(m_window, &rect);
        // The frame's own border line, etched as a frame without caption draws it.
        DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
        EndPaint(m_window, &paint);
        return 0;
    }
    default:
        return defaultMessage(message, wParam, lParam);
    }
}

LRESULT SplashWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        paintBackground(m_window, reinterpret_cast<HDC>(wParam), colorRef(layout::kBackColour));
        return TRUE;
    case WM_COPYDATA:
        return root().takeHandedFile(lParam);
    case WM_TIMER:
        if (wParam == kTimer1) {
            root().program().run([this] { m_form.Timer1_Timer(); });
            return 0;
        }
        break;
    case WM_CHAR: {
        // A character key, Enter, Escape and Backspace included; Alt combinations come
        // as WM_SYSCHAR and are left to the system. The physical key (its scan code)
        // is what the main window will not see repeated or let go.
        const int key = static_cast<int>((lParam >> 16) & 0x1FF);
        root().program().run([this, key] { m_form.Form_KeyPress(key); });
        return 0;
    }
    default:
        break;
    }
    return defaultMessage(message, wParam, lParam);
}

void SplashWindow::setVersionText(const std::string &text)
{
    SetWindowTextW(m_lblVersion, widen(text).c_str());
    // The label grows to the left, so that it ends where lblPlatform ends.
    sizeToText(m_lblVersion, layout::kLblVersion, Keep::Right);
}

void SplashWindow::startTimer(int milliseconds)
{
    SetTimer(m_window, kTimer1, static_cast<UINT>(milliseconds), nullptr);
}

void SplashWindow::stopTimer()
{
    KillTimer(m_window, kTimer1);
}

void SplashWindow::unload()
{
    DestroyWindow(m_window);
}

} // namespace win32
