#pragma once

#include "forms/frmPersonas.h"

#include <windows.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace win32 {

// The contacts window as a native Win32 window: a view over forms::frmPersonas.
class PersonasWindow : public forms::PersonasView {
public:
    // Creates, loads (the caption and the list load) and shows the one main window,
    // centred on the screen.
    static void open(contacts::FileSystem &fs, const std::filesystem::path &folder,
                     forms::PersonasActions actions);
    // The open window, or null.
    static HWND handle();
    // F1 and F4, for the message loop.
    static HACCEL accelerators();

    void setCaption(const std::string &caption) override;
    std::string text1(int index) const override;
    void setText1(int index, const std::string &text) override;
    std::string searchText() const override;
    void setListEntries(std::vector<std::string> entries) override;
    const std::vector<std::string> &listEntries() const override { return m_entries; }
    int listIndex() const override;
    void setListIndex(int index) override;
    void showMessage(const std::string &text) override;

private:
    PersonasWindow(contacts::FileSystem &fs, const std::filesystem::path &folder, forms::PersonasActions actions);

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void command(int id, int code);

    HWND m_window = nullptr;
    std::array<HWND, 5> m_text1{};
    HWND m_list1 = nullptr;
    std::vector<std::string> m_entries;
    HWND m_txtBusqueda = nullptr;
    HWND m_label6 = nullptr;
    HFONT m_helpFont = nullptr;
    forms::frmPersonas m_form;
};

} // namespace win32
