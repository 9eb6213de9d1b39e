#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace win32 {

// List1 on Windows: the surnames in a list that holds no copy of them. An owner-data
// list view (one column, no header, single selection) asks for each text only when
// it shows it or a screen reader reads it, so a million entries appear at once; it
// behaves as the designed list box does: once an entry is chosen only the program
// takes the selection away, and the program's own choice raises no notification.
class ContactList {
public:
    // Throws WindowCreationFailed.
    void create(HWND parent, int id, const RECT &place, HFONT font);
    HWND handle() const { return m_list; }

    // Replaces every entry; nothing is selected afterwards.
    void setEntries(std::vector<std::string> entries);
    int count() const { return static_cast<int>(m_entries.size()); }
    // The first entry, in list order, that begins with `prefix` (UTF-8, byte by byte).
    int find(std::string_view prefix) const;
    // Entry `index` (UTF-8); empty outside the list.
    std::string entry(int index) const;

    int selected() const;
    void select(int index);

    // The list's WM_NOTIFY, sent to its parent: answers the list's questions, and
    // returns true in `chosen` when the user has chosen an entry.
    LRESULT notify(const NMHDR &header, bool &chosen);

private:
    int focusedEntry() const;
    void setState(int index, UINT mask, UINT state);

    HWND m_list = nullptr;
    std::vector<std::string> m_entries;
    std::wstring m_shown; // the text last handed to the list, which it reads at once
    bool m_selecting = false;
};

} // namespace win32
