#include "win32/ContactList.h"

#include "forms/PersonasView.h"
#include "win32/Common.h"

#include <commctrl.h>
#include <windowsx.h>

namespace win32 {

namespace {

// The list view's own window procedure, which keepChoice() hands every message on to.
// It replaces the procedure itself rather than use SetWindowSubclass(): the common
// controls find a subclass through a window property on every message, and under Wine
// each such look-up is a round trip to its server, dozens for each search keystroke.
WNDPROC g_listProc = nullptr;

// A click below the last entry, or Ctrl with a click or Space, would leave no entry
// chosen, which a list box never does.
LRESULT CALLBACK keepChoice(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        LVHITTESTINFO hit{};
        hit.pt = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0) {
            SetFocus(list);
            return 0;
        }
        wParam &= ~static_cast<WPARAM>(MK_CONTROL | MK_SHIFT);
        break;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && GetKeyState(VK_CONTROL) < 0)
            return 0;
        break;
    default:
        break;
    }
    return CallWindowProcW(g_listProc, list, message, wParam, lParam);
}

bool startsWithIgnoringCase(const std::wstring &text, const wchar_t *prefix)
{
    const int length = lstrlenW(prefix);
    return static_cast<int>(text.size()) >= length
           && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.data(), length, prefix, length)
                  == CSTR_EQUAL;
}

} // namespace

void ContactList::create(HWND parent, int id, const RECT &place, HFONT font)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    m_list = makeControl(parent, WC_LISTVIEWW, "",
                         WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL
                             | LVS_SHOWSELALWAYS,
                         id, place, font, WS_EX_CLIENTEDGE);
    RECT client;
    GetClientRect(m_list, &client);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(m_list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    const auto own = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&keepChoice)));
    if (g_listProc == nullptr)
        g_listProc = own;
}

void ContactList::setEntries(std::vector<std::string> entries)
{
    // The selection goes with the old entries, and no notification says so: emptying
    // the list is not a choice.
    select(-1);
    m_entries = std::move(entries);
    m_selecting = true;
    SendMessageW(m_list, LVM_SETITEMCOUNT, m_entries.size(), 0);
    m_selecting = false;
    InvalidateRect(m_list, nullptr, TRUE);
}

int ContactList::find(std::string_view prefix) const
{
    return forms::firstWithPrefix(m_entries, prefix);
}

std::string ContactList::entry(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return m_entries[static_cast<std::size_t>(index)];
}

// The list view answers "which entry is selected" by walking the entries up to it, a
// million of them when none is, and clears a selection "from every entry" one entry
// at a time: under Wine each costs a second or more at a million entries. The number
// selected and the focused entry it knows at once, and with one selection at most
// the selected entry is nearly always the focused one.
int ContactList::selected() const
{
    if (SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        return -1;
    const int focused = focusedEntry();
    if (focused >= 0 && (SendMessageW(m_list, LVM_GETITEMSTATE, static_cast<WPARAM>(focused), LVIS_SELECTED)
                         & LVIS_SELECTED) != 0)
        return focused;
    return static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int ContactList::focusedEntry() const
{
    return static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void ContactList::setState(int index, UINT mask, UINT state)
{
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void ContactList::select(int index)
{
    m_selecting = true;
    const bool chosen = index >= 0 && index < count();
    // Only the entries that hold the selection and the focus change.
    if (const int old = selected(); old >= 0 && old != index)
        setState(old, LVIS_SELECTED | LVIS_FOCUSED, 0);
    if (const int focused = focusedEntry(); !chosen && focused >= 0)
        setState(focused, LVIS_FOCUSED, 0);
    if (chosen) {
        setState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageW(m_list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    }
    m_selecting = false;
}

LRESULT ContactList::notify(const NMHDR &header, bool &chosen)
{
    chosen = false;
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        auto &item = reinterpret_cast<NMLVDISPINFOW &>(const_cast<NMHDR &>(header)).item;
        if ((item.mask & LVIF_TEXT) != 0 && item.iItem >= 0 && item.iItem < count()) {
            m_shown = widen(m_entries[static_cast<std::size_t>(item.iItem)]);
            lstrcpynW(item.pszText, m_shown.c_str(), item.cchTextMax);
        }
        return 0;
    }
    case LVN_ODFINDITEMW: {
        // Typing in the list jumps to the next entry that begins with the typed text,
        // ignoring case, as in a list box.
        const auto &find = reinterpret_cast<const NMLVFINDITEMW &>(header);
        if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr || count() == 0)
            return -1;
        const int start = find.iStart < 0 || find.iStart >= count() ? 0 : find.iStart;
        for (int step = 0; step < count(); ++step) {
            const int index = (start + step) % count();
            if (startsWithIgnoringCase(widen(m_entries[static_cast<std::size_t>(index)]), find.lvfi.psz))
                return index;
        }
        return -1;
    }
    case LVN_ITEMCHANGED: {
        const auto &change = reinterpret_cast<const NMLISTVIEW &>(header);
        chosen = !m_selecting && (change.uChanged & LVIF_STATE) != 0 && (change.uNewState & LVIS_SELECTED) != 0
                 && (change.uOldState & LVIS_SELECTED) == 0;
        return 0;
    }
    default:
        return 0;
    }
}

} // namespace win32
