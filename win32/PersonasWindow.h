#pragma once

#include "forms/frmPersonas.h"
#include "win32/ContactList.h"
#include "win32/ControlIds.h"
#include "win32/Window.h"

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

// The contacts window as a native Win32 window: a view over forms::frmPersonas.
class PersonasWindow : public BaseWindow<PersonasWindow>, private forms::PersonasView {
public:
    static constexpr const wchar_t *kClassName = kPersonasClass;

    PersonasWindow(Win32Program &root, contacts::FileSystem &fs, const std::filesystem::path &folder);
    ~PersonasWindow() override;

    // Creates the window, loads it (the caption and the list load) and shows it,
    // centred on the screen. Throws WindowCreationFailed.
    void open();

    // A file handed to the program: imported once the running handler has returned.
    void importLater(const std::filesystem::path &file);

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void createControls();
    void command(int id, int code);
    // Runs one of the behaviour's handlers, as the program runs every handler.
    void run(void (forms::frmPersonas::*handler)());

    // forms::PersonasView
    void setCaption(const std::string &caption) override;
    std::string text1(int index) const override;
    void setText1(int index, const std::string &text) override;
    std::string searchText() const override;
    void setListEntries(std::vector<std::string> entries) override;
    int findListEntry(std::string_view prefix) const override;
    std::string listEntry(int index) const override;
    int listIndex() const override;
    void setListIndex(int index) override;
    void showMessage(const std::string &text) override;
    std::optional<forms::ChosenFile> chooseFileToOpen(const forms::FileDialog &dialog) override;
    std::optional<forms::ChosenFile> chooseFileToSave(const forms::FileDialog &dialog) override;
    bool confirm(const std::string &text, const std::string &accept, const std::string &cancel) override;
    void waitFor(forms::Job &job) override;

    void dropped(HDROP drop);

    std::array<HWND, 5> m_text1{};
    ContactList m_list1;
    HWND m_txtBusqueda = nullptr;
    HWND m_label6 = nullptr;
    HFONT m_helpFont = nullptr;
    std::vector<std::filesystem::path> m_handed; // files to import, posted
    forms::Job *m_job = nullptr;                 // the job waited for, while it runs
    bool m_closing = false;                      // closed while a job ran
    forms::frmPersonas m_form;
};

} // namespace win32
