#include "win32/PersonasWindow.h"

#include "forms/Program.h"
#include "win32/Common.h"
#include "win32/ControlIds.h"
#include "win32/Dialogs.h"
#include "win32/Win32Program.h"

#include <shellapi.h>

#include <cstdlib>
#include <utility>

namespace win32 {

namespace {

namespace layout = forms::personas;

// Fixed single border, system menu and minimise button; no maximise, no resizing.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The menus keep the design's names: gfh is "Archivo", sedf is "Ayuda".
HMENU makeMenu()
{
    HMENU bar = CreateMenu();
    HMENU gfh = CreatePopupMenu();
    AppendMenuW(gfh, MF_STRING, kMnuImportar, widen(layout::kImportarItem).c_str());
    AppendMenuW(gfh, MF_STRING, kMnuExportar, widen(layout::kExportarItem).c_str());
    AppendMenuW(gfh, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(gfh, MF_STRING, kMnuSalir, (widen(layout::kSalirItem) + L"\tF4").c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(gfh), widen(layout::kArchivoMenu).c_str());
    HMENU sedf = CreatePopupMenu();
    AppendMenuW(sedf, MF_STRING, kMnuAbout, (widen(layout::kAboutItem) + L"\tF1").c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sedf), widen(layout::kAyudaMenu).c_str());
    return bar;
}

HICON programIcon(int sizeX, int sizeY)
{
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconLogo), IMAGE_ICON,
                                         GetSystemMetrics(sizeX), GetSystemMetrics(sizeY), 0));
}

} // namespace

PersonasWindow::PersonasWindow(Win32Program &root, contacts::FileSystem &fs, const std::filesystem::path &folder)
    : BaseWindow(root, forms::Window::Personas),
      m_form(*this, fs, folder, root.program(),
             {[&root] { root.program().showAbout(); }, [&root] { root.program().quit(); }, [] { std::_Exit(0); }})
{
}

PersonasWindow::~PersonasWindow()
{
    if (m_helpFont != nullptr)
        DeleteObject(m_helpFont);
}

void PersonasWindow::open()
{
    const RECT client = toPixels(layout::kClientArea);
    const RECT frame = windowRectForClient(0, 0, client.right, client.bottom, kStyle, 0, true);
    HMENU menu = makeMenu();
    if (create(0, widen(forms::frmPersonas::caption()).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
               menu, programIcon(SM_CXICON, SM_CYICON), programIcon(SM_CXSMICON, SM_CYSMICON),
               reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))
        == nullptr) {
        DestroyMenu(menu);
        throw WindowCreationFailed();
    }
    // A menu bar that wraps would take client height: measure the real client area.
    RECT got;
    GetClientRect(m_window, &got);
    if (got.bottom != client.bottom) {
        RECT outer;
        GetWindowRect(m_window, &outer);
        SetWindowPos(m_window, nullptr, 0, 0, outer.right - outer.left,
                     outer.bottom - outer.top + client.bottom - got.bottom, SWP_NOMOVE | SWP_NOZORDER);
    }
    createControls();
    // Files dropped on the window are imported.
    DragAcceptFiles(m_window, TRUE);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    centre(m_window, work);
    ShowWindow(m_window, SW_SHOWNORMAL);
    root().program().windowOpened(forms::Window::Personas);
    m_focus = m_text1[0];
    SetForegroundWindow(m_window);
    SetFocus(m_text1[0]);
    // Whole on the screen before its list loads: a million contacts take a moment,
    // which the splash must not leave empty; a longer load shows its progress over it.
    RedrawWindow(m_window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    run(&forms::frmPersonas::Form_Load);
}

void PersonasWindow::createControls()
{
    HFONT font = dialogFont();
    // Created in tab order: the five fields, the buttons top to bottom, the list,
    // the search box. Each caption comes just before its field, where a screen
    // reader looks for an edit box's name; labels take no focus.
    for (std::size_t i = 0; i < m_text1.size(); ++i) {
        makeControl(m_window, L"STATIC", layout::kFields[i].caption, SS_LEFT, kLabelOfText1 + static_cast<int>(i),
                    toPixels(layout::kFields[i].label), font);
        m_text1[i] = makeControl(m_window, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, kText1 + static_cast<int>(i),
                                 toPixels(layout::kFields[i].field), font, WS_EX_CLIENTEDGE);
        SendMessageW(m_text1[i], EM_SETLIMITTEXT, contacts::kFieldWidths[i], 0);
    }
    for (int i = 0; i < 5; ++i)
        makeControl(m_window, L"BUTTON", layout::kButtons[i].caption, WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE,
                    kCmdButton + i, toPixels(layout::kButtons[i].place), font);
    // The list and the search box have no caption on the screen; a label of no size
    // before each names it for a screen reader without changing what the window shows.
    const RECT list = toPixels(layout::kList);
    makeControl(m_window, L"STATIC", layout::kListName, SS_LEFT | SS_NOPREFIX, kListName,
                RECT{list.left, list.top, list.left, list.top}, font);
    m_list1.create(m_window, kList1, list, font);
    const RECT search = toPixels(layout::kSearchBox);
    makeControl(m_window, L"STATIC", layout::kSearchName, SS_LEFT | SS_NOPREFIX, kSearchName,
                RECT{search.left, search.top, search.left, search.top}, font);
    m_txtBusqueda = makeControl(m_window, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, kTxtBusqueda, search, font,
                                WS_EX_CLIENTEDGE);
    m_helpFont = makeFont(L"Tahoma", layout::kHelpLinePoints);
    m_label6 = makeControl(m_window, L"STATIC",
                           layout::helpLine(),
                           SS_CENTER | SS_NOPREFIX, kLabel6, toPixels(layout::kHelpLine), m_helpFont);
}

void PersonasWindow::run(void (forms::frmPersonas::*handler)())
{
    root().program().run([this, handler] { (m_form.*handler)(); });
}

void PersonasWindow::importLater(const std::filesystem::path &file)
{
    m_handed.push_back(file);
    PostMessageW(m_window, kImportHandedFile, 0, 0);
}

void PersonasWindow::dropped(HDROP drop)
{
    std::vector<std::filesystem::path> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
        files.emplace_back(name);
    }
    DragFinish(drop);
    root().program().run([this, &files] { m_form.Form_OLEDragDrop(files); });
}

LRESULT PersonasWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kImportHandedFile: {
        for (std::filesystem::path &file : std::exchange(m_handed, {}))
            root().program().importArrived(std::move(file),
                                           [this](const std::filesystem::path &arrived) { m_form.importFile(arrived); });
        return 0;
    }
    case WM_COPYDATA:
        return root().takeHandedFile(lParam);
    case WM_CLOSE:
        // Closed while a file is read for import (or another job runs): the job stops
        // when it can, nothing more is asked, and the window closes once the command
        // has ended, rather than leave its question without a window.
        if (m_job != nullptr) {
            if (!m_job->cancelCaption().empty())
                m_job->cancel();
            m_closing = true;
            return 0;
        }
        break;
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        if (restoreFocus(wParam))
            return 0;
        break;
    case WM_NOTIFY: {
        const auto &header = *reinterpret_cast<const NMHDR *>(lParam);
        if (header.hwndFrom != m_list1.handle())
            break;
        bool chosen = false;
        const LRESULT result = m_list1.notify(header, chosen);
        if (chosen)
            run(&forms::frmPersonas::List1_Click);
        return result;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == m_label6) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(255, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    default:
        break;
    }
    return defaultMessage(message, wParam, lParam);
}

void PersonasWindow::command(int id, int code)
{
    // Enter and Escape in a field send IDOK and IDCANCEL: the design gives this
    // window no default or cancel button, so they do nothing.
    if (id >= kCmdButton && id < kCmdButton + 5 && code == BN_CLICKED) {
        switch (id - kCmdButton) {
        case 0: run(&forms::frmPersonas::cmdAltas_Click); break;
        case 1: run(&forms::frmPersonas::cmdModificar_Click); break;
        case 2: run(&forms::frmPersonas::cmdBajas_Click); break;
        case 3: run(&forms::frmPersonas::cmdVerlista_Click); break;
        case 4: run(&forms::frmPersonas::cmdLimpiar_Click); break;
        default: break;
        }
    } else if (id == kTxtBusqueda && code == EN_CHANGE) {
        run(&forms::frmPersonas::txtBusqueda_Change);
    } else if (id == kMnuImportar && code == 0) {
        run(&forms::frmPersonas::mnuImportar_Click);
    } else if (id == kMnuExportar && code == 0) {
        run(&forms::frmPersonas::mnuExportar_Click);
    } else if (id == kMnuSalir && (code == 0 || code == 1)) {
        run(&forms::frmPersonas::mnuSalir_Click);
    } else if (id == kMnuAbout && (code == 0 || code == 1)) {
        run(&forms::frmPersonas::mnuAbout_Click);
    }
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
    m_list1.setEntries(std::move(entries));
}

int PersonasWindow::findListEntry(std::string_view prefix) const
{
    return m_list1.find(prefix);
}

std::string PersonasWindow::listEntry(int index) const
{
    return m_list1.entry(index);
}

int PersonasWindow::listIndex() const
{
    return m_list1.selected();
}

void PersonasWindow::setListIndex(int index)
{
    m_list1.select(index);
}

void PersonasWindow::showMessage(const std::string &text)
{
    root().showMessageOver(m_window, text);
}

std::optional<forms::ChosenFile> PersonasWindow::chooseFileToOpen(const forms::FileDialog &dialog)
{
    return root().dialogs().openFile(m_window, dialog);
}

std::optional<forms::ChosenFile> PersonasWindow::chooseFileToSave(const forms::FileDialog &dialog)
{
    return root().dialogs().saveFile(m_window, dialog);
}

bool PersonasWindow::confirm(const std::string &text, const std::string &accept, const std::string &cancel)
{
    // The user has closed the window: the answer is "Cancelar".
    if (m_closing)
        return false;
    return root().dialogs().confirm(m_window, text, accept, cancel);
}

void PersonasWindow::waitFor(forms::Job &job)
{
    if (m_closing && !job.cancelCaption().empty())
        job.cancel();
    m_job = &job;
    root().dialogs().waitFor(m_window, job);
    m_job = nullptr;
    if (m_closing)
        PostMessageW(m_window, WM_CLOSE, 0, 0);
}

} // namespace win32
