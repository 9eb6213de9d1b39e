#include "win32/SplashWindow.h"

#include "win32/Common.h"
#include "win32/ControlIds.h"
#include "version/Version.h"

namespace win32 {

namespace {

namespace layout = forms::splash;

// A fixed dialog border and no title bar; no taskbar button.
constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr COLORREF kOrange = RGB(255, 128, 0);
constexpr COLORREF kDarkRed = RGB(192, 0, 0);
constexpr UINT_PTR kTimer1 = 1;

HBRUSH darkRedBrush()
{
    static HBRUSH brush = CreateSolidBrush(kDarkRed);
    return brush;
}

void registerClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    cls.hbrBackground = CreateSolidBrush(kOrange);
    cls.lpszClassName = kSplashClass;
    RegisterClassExW(&cls);
    cls.hbrBackground = darkRedBrush();
    cls.lpszClassName = kFrameClass;
    RegisterClassExW(&cls);
}

} // namespace

SplashWindow::SplashWindow(std::function<void()> handOver) : m_form(*this, std::move(handOver))
{
}

void SplashWindow::open(std::function<void()> handOver)
{
    registerClasses();
    auto *self = new SplashWindow(std::move(handOver));
    const RECT client = toPixels(layout::kClient);
    const RECT frame = windowRectForClient(0, 0, client.right, client.bottom, kStyle, kExStyle, false);
    HWND window = CreateWindowExW(kExStyle, kSplashClass, L"", kStyle, 0, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    self->m_window = window;
    lifetime::windowOpened();
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SplashWindow::windowProc));
    self->createControls();
    self->m_form.Form_Load();
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    centre(window, screen);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(window);
}

HWND SplashWindow::label(int id, const std::string &text, const forms::TwipRect &place, DWORD align, HFONT font)
{
    return makeControl(m_frame1, L"STATIC", text, align | SS_NOPREFIX, id, toPixels(place), font);
}

void SplashWindow::createControls()
{
    m_frame1 = CreateWindowExW(0, kFrameClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                               toPixels(layout::kFrame1).left, toPixels(layout::kFrame1).top,
                               px(layout::kFrame1.width), px(layout::kFrame1.height), m_window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFrame1)), GetModuleHandleW(nullptr),
                               nullptr);
    SetWindowLongPtrW(m_frame1, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_frame1, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SplashWindow::frameProc));

    // The 32 x 32 image, stretched pixel by pixel to the picture's size.
    m_logo = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconLogo), IMAGE_ICON,
                                           32, 32, 0));
    makeControl(m_frame1, L"STATIC", "", SS_OWNERDRAW, kImgLogo, toPixels(layout::kImgLogo), nullptr);

    m_small = makeFont(L"Arial", 8.25);
    m_company = makeFont(L"Arial", 18, true);
    m_product = makeFont(L"Verdana", 27.75, true);
    m_platform = makeFont(L"Arial", 12, true);
    label(kLblLicenseTo, layout::kLicenseTo, layout::kLblLicenseTo, SS_RIGHT, m_small);
    sizeToText(label(kLblCompanyProduct, layout::kCompanyProduct, layout::kLblCompanyProduct, SS_LEFT, m_company),
               layout::kLblCompanyProduct, Keep::Left);
    sizeToText(label(kLblProductName, version::kProductName, layout::kLblProductName, SS_LEFT, m_product),
               layout::kLblProductName, Keep::Left);
    sizeToText(label(kLblPlatform, layout::kPlatform, layout::kLblPlatform, SS_RIGHT, m_platform),
               layout::kLblPlatform, Keep::Right);
    m_lblVersion = label(kLblVersion, "Version ", layout::kLblVersion, SS_RIGHT, m_platform);
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
    const int left = edge == Keep::Right ? designed.right - size.cx : designed.left;
    SetWindowPos(label, nullptr, left, designed.top, size.cx, metrics.tmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK SplashWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = reinterpret_cast<SplashWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT CALLBACK SplashWindow::frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = reinterpret_cast<SplashWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        // Every label: the highlighted-text colour on an opaque dark red.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, kDarkRed);
        return reinterpret_cast<LRESULT>(darkRedBrush());
    }
    case WM_DRAWITEM: {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (self != nullptr && item->CtlID == static_cast<UINT>(kImgLogo)) {
            FillRect(item->hDC, &item->rcItem, darkRedBrush());
            DrawIconEx(item->hDC, 0, 0, self->m_logo, item->rcItem.right - item->rcItem.left,
                       item->rcItem.bottom - item->rcItem.top, 0, nullptr, DI_NORMAL);
        }
        return TRUE;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT rect;
        GetClientRect(window, &rect);
        // The frame's own border line, etched as a frame without caption draws it.
        DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT SplashWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimer1) {
            // Between closing this window and showing the next no window is open.
            lifetime::Hold hold;
            guarded(nullptr, [this] { m_form.Timer1_Timer(); });
            return 0; // `this` may be gone
        }
        break;
    case WM_CHAR: {
        // A character key, Enter, Escape and Backspace included; Alt combinations come
        // as WM_SYSCHAR and are left to the system.
        if (!m_form.handedOver())
            swallowKey(lParam);
        lifetime::Hold hold;
        guarded(nullptr, [this] { m_form.Form_KeyPress(); });
        return 0;
    }
    case WM_NCDESTROY: {
        HWND window = m_window;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DeleteObject(m_small);
        DeleteObject(m_company);
        DeleteObject(m_product);
        DeleteObject(m_platform);
        DestroyIcon(m_logo);
        delete this;
        lifetime::windowClosed();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
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
