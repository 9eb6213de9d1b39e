#include "win32/AboutWindow.h"

#include "forms/Program.h"
#include "win32/Common.h"
#include "win32/Win32Program.h"

namespace win32 {

namespace {

namespace layout = forms::about;

// A fixed tool window: narrow title bar with the close button only, no taskbar button.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

HICON magnetIcon(int sizeX, int sizeY)
{
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconMagnet), IMAGE_ICON,
                                         GetSystemMetrics(sizeX), GetSystemMetrics(sizeY), 0));
}

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    RECT rect{left, top, right, bottom};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

} // namespace

AboutWindow::AboutWindow(Win32Program &root, platform::Registry &registry, platform::Launcher &launcher)
    : BaseWindow(root, forms::Window::About), m_form(*this, registry, launcher)
{
}

void AboutWindow::open()
{
    const RECT client = toPixels(layout::kClient);
    const RECT frame =
        windowRectForClient(client.left, client.top, client.right - client.left, client.bottom - client.top, kStyle,
                            kExStyle, false);
    if (create(kExStyle, widen(layout::kCaption).c_str(), kStyle, frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top, nullptr, nullptr, magnetIcon(SM_CXICON, SM_CYICON),
               magnetIcon(SM_CXSMICON, SM_CYSMICON), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))
        == nullptr)
        throw WindowCreationFailed();
    createControls();
    root().program().run([this] { m_form.Form_Load(); });
    ShowWindow(m_window, SW_SHOWNORMAL);
    root().program().windowOpened(forms::Window::About);
    SetForegroundWindow(m_window);
    m_focus = GetDlgItem(m_window, kCmdOK);
    SetFocus(m_focus);
}

void AboutWindow::createControls()
{
    HFONT font = dialogFont();
    // In the window's tab order: the two buttons, then the labels, which take no focus.
    makeControl(m_window, L"BUTTON", layout::kOK, WS_TABSTOP | BS_DEFPUSHBUTTON, kCmdOK, toPixels(layout::kCmdOK),
                font);
    m_cmdSysInfo = makeControl(m_window, L"BUTTON", layout::kSysInfo, WS_TABSTOP | BS_PUSHBUTTON, kCmdSysInfo,
                               toPixels(layout::kCmdSysInfo), font);
    makeControl(m_window, L"STATIC", layout::description(), SS_LEFT | SS_NOPREFIX, kLblDescription,
                toPixels(layout::kLblDescription), font);
    makeControl(m_window, L"STATIC", layout::kDisclaimer, SS_LEFT | SS_NOPREFIX, kLblDisclaimer,
                toPixels(layout::kLblDisclaimer), font);
    makeControl(m_window, L"STATIC", layout::title(), SS_LEFT | SS_NOPREFIX, kLblTitle, toPixels(layout::kLblTitle),
                font);
    m_lblVersion = makeControl(m_window, L"STATIC", "", SS_LEFT | SS_NOPREFIX, kAboutLblVersion,
                               toPixels(layout::kLblVersion), font);
}

LRESULT AboutWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        if (restoreFocus(wParam))
            return 0;
        break;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, reinterpret_cast<HWND>(lParam) == m_lblVersion ? GetSysColor(COLOR_BTNTEXT) : RGB(0, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_window, &paint);
        const int y1 = px(layout::kLine1_1From.y);
        fill(dc, px(layout::kLine1_1From.x), y1, px(layout::kLine1_1To.x) + 1, y1 + layout::kLine1_1Width,
             colorRef(layout::kLine1_1Colour));
        const int y0 = px(layout::kLine1_0From.y);
        fill(dc, px(layout::kLine1_0From.x), y0, px(layout::kLine1_0To.x) + 1, y0 + layout::kLine1_0Width,
             colorRef(layout::kLine1_0Colour));
        EndPaint(m_window, &paint);
        return 0;
    }
    default:
        break;
    }
    return defaultMessage(message, wParam, lParam);
}

void AboutWindow::command(int id, int code)
{
    // Enter sends IDOK and presses the button that has the focus; Escape sends
    // IDCANCEL and presses OK, the window's cancel button.
    if (id == IDOK)
        id = GetFocus() == m_cmdSysInfo ? kCmdSysInfo : kCmdOK;
    else if (id == IDCANCEL)
        id = kCmdOK;
    else if (code != BN_CLICKED)
        return;
    // The window may close in the handler; the root deletes it only afterwards.
    if (id == kCmdOK)
        root().program().run([this] { m_form.cmdOK_Click(); });
    else if (id == kCmdSysInfo)
        root().program().run([this] { m_form.cmdSysInfo_Click(); });
}

void AboutWindow::setVersionText(const std::string &text)
{
    SetWindowTextW(m_lblVersion, widen(text).c_str());
}

void AboutWindow::unload()
{
    DestroyWindow(m_window);
}

void AboutWindow::showMessage(const std::string &text)
{
    root().showMessageOver(m_window, text);
}

} // namespace win32
