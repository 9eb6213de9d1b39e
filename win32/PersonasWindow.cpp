#include "win32/PersonasWindow.h"

#include "win32/Common.h"
#include "win32/ControlIds.h"
#include "version/Version.h"

namespace win32 {

namespace {

namespace layout = forms::personas;

// Fixed single border, system menu and minimise button; no maximise, no resizing.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

PersonasWindow *g_window = nullptr;

HMENU makeMenu()
{
    HMENU bar = CreateMenu();
    HMENU archivo = CreatePopupMenu();
    AppendMenuW(archivo, MF_STRING, kMnuSalir, (widen(layout::kSalirItem) + L"\tF4").c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(archivo), widen(layout::kArchivoMenu).c_str());
    HMENU ayuda = CreatePopupMenu();
    AppendMenuW(ayuda, MF_STRING, kMnuAbout, (widen(layout::kAboutItem) + L"\tF1").c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(ayuda), widen(layout::kAyudaMenu).c_str());
    return bar;
}

} // namespace

PersonasWindow::PersonasWindow(contacts::FileSystem &fs, const std::filesystem::path &folder,
                               forms::PersonasActions actions)
    : m_form(*this, fs, folder, std::move(actions))
{
}

void PersonasWindow::open(contacts::FileSystem &fs, const std::filesystem::path &folder,
                          forms::PersonasActions actions)
{
    if (g_window != nullptr) {
        ShowWindow(g_window->m_window, SW_SHOW);
        return;
    }
    registerWindowClass(kPersonasClass, kIconLogo);
    auto *self = new PersonasWindow(fs, folder, std::move(actions));
    const RECT client = toPixels(layout::kClientArea);
    const RECT frame = windowRectForClient(0, 0, client.right, client.bottom, kStyle, 0, true);
    HWND window = CreateWindowExW(0, kPersonasClass, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, makeMenu(),
                                  GetModuleHandleW(nullptr), nullptr);
    self->m_window = window;
    g_window = self;
    lifetime::windowOpened();
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PersonasWindow::windowProc));
    // A menu bar that wraps would take client height: measure the real client area.
    RECT got;
    GetClientRect(window, &got);
    if (got.bottom != client.bottom) {
        RECT outer;
        GetWindowRect(window, &outer);
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left,
                     outer.bottom - outer.top + client.bottom - got.bottom, SWP_NOMOVE | SWP_NOZORDER);
    }
    self->createControls();
    // Loaded before it is first shown.
    guarded(nullptr, [self] { self->m_form.Form_Load(); });
    if (g_window != self)
        return; // the load ended the program
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    centre(window, work);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(self->m_text1[0]);
}

HWND PersonasWindow::handle()
{
    return g_window != nullptr ? g_window->m_window : nullptr;
}

HACCEL PersonasWindow::accelerators()
{
    static HACCEL table = [] {
        ACCEL keys[2] = {{FVIRTKEY, VK_F4, kMnuSalir}, {FVIRTKEY, VK_F1, kMnuAbout}};
        return CreateAcceleratorTableW(keys, 2);
    }();
    return table;
}

void PersonasWindow::createControls()
{
    HFONT font = dialogFont();
    // Created in tab order: the five fields, the buttons top to bottom, the list,
    // the search box; the labels take no focus.
    for (int i = 0; i < 5; ++i) {
        m_text1[static_cast<std::size_t>(i)] =
            makeControl(m_window, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, kText1 + i,
                        toPixels(layout::kFields[i].field), font, WS_EX_CLIENTEDGE);
        SendMessageW(m_text1[static_cast<std::size_t>(i)], EM_SETLIMITTEXT, contacts::kFieldWidths[static_cast<std::size_t>(i)], 0);
    }
    for (int i = 0; i < 5; ++i)
        makeControl(m_window, L"BUTTON", layout::kButtons[i].caption, WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE,
                    kCmdButton + i, toPixels(layout::kButtons[i].place), font);
    m_list1 = makeControl(m_window, L"LISTBOX", "", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          kList1, toPixels(layout::kList), font, WS_EX_CLIENTEDGE);
    m_txtBusqueda = makeControl(m_window, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, kTxtBusqueda,
                                toPixels(layout::kSearchBox), font, WS_EX_CLIENTEDGE);
    for (int i = 0; i < 5; ++i)
        makeControl(m_window, L"STATIC", layout::kFields[i].caption, SS_LEFT, kLabelOfText1 + i,
                    toPixels(layout::kFields[i].label), font);
    m_helpFont = makeFont(L"Tahoma", layout::kHelpLinePoints);
    m_label6 = makeControl(m_window, L"STATIC",
                           std::string(layout::kHelpLinePrefix) + version::kWebAddress + layout::kHelpPage,
                           SS_CENTER | SS_NOPREFIX, kLabel6, toPixels(layout::kHelpLine), m_helpFont);
}

LRESULT CALLBACK PersonasWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = reinterpret_cast<PersonasWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT PersonasWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == m_label6) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(255, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_NCDESTROY: {
        HWND window = m_window;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (g_window == this)
            g_window = nullptr;
        DeleteObject(m_helpFont);
        delete this;
        lifetime::windowClosed();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void PersonasWindow::command(int id, int code)
{
    // Enter and Escape in a field send IDOK and IDCANCEL: the design gives this
    // window no default or cancel button, so they do nothing.
    guarded(m_window, [&] {
        if (id >= kCmdButton && id < kCmdButton + 5 && code == BN_CLICKED) {
            switch (id - kCmdButton) {
            case 0: m_form.cmdAltas_Click(); break;
            case 1: m_form.cmdModificar_Click(); break;
            case 2: m_form.cmdBajas_Click(); break;
            case 3: m_form.cmdVerlista_Click(); break;
            case 4: m_form.cmdLimpiar_Click(); break;
            default: break;
            }
        } else if (id == kList1 && code == LBN_SELCHANGE) {
            m_form.List1_Click();
        } else if (id == kTxtBusqueda && code == EN_CHANGE) {
            m_form.txtBusqueda_Change();
        } else if (id == kMnuSalir && (code == 0 || code == 1)) {
            m_form.mnuSalir_Click();
        } else if (id == kMnuAbout && (code == 0 || code == 1)) {
            m_form.mnuAbout_Click();
        }
    });
}

void PersonasWindow::setCaption(const std::string &caption)
{
    SetWindowTextW(m_window, widen(caption).c_str());
}

std::string PersonasWindow::text1(int index) const
{
    return windowText(m_text1[static_cast<std::size_t>(index)]);
}

void PersonasWindow::setText1(int index, const std::string &text)
{
    SetWindowTextW(m_text1[static_cast<std::size_t>(index)], widen(text).c_str());
}

std::string PersonasWindow::searchText() const
{
    return windowText(m_txtBusqueda);
}

void PersonasWindow::setListEntries(std::vector<std::string> entries)
{
    // The list box keeps its texts in UTF-16; these, in UTF-8, are what the search reads.
    m_entries = std::move(entries);
    SendMessageW(m_list1, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list1, LB_RESETCONTENT, 0, 0);
    for (const std::string &entry : m_entries)
        SendMessageW(m_list1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(entry).c_str()));
    SendMessageW(m_list1, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list1, nullptr, TRUE);
}

int PersonasWindow::listIndex() const
{
    return static_cast<int>(SendMessageW(m_list1, LB_GETCURSEL, 0, 0));
}

void PersonasWindow::setListIndex(int index)
{
    SendMessageW(m_list1, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void PersonasWindow::showMessage(const std::string &text)
{
    win32::showMessage(m_window, text);
}

} // namespace win32
