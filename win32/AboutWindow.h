#pragma once

#include "forms/frmAbout.h"

#include <windows.h>

namespace win32 {

// The About window as a native Win32 tool window: a view over forms::frmAbout.
class AboutWindow : public forms::AboutView {
public:
    // Loads the window on first use, or after it was closed; brings the open one
    // forward otherwise. Modeless and without an owner.
    static void show(platform::Registry &registry, platform::Launcher &launcher);
    // The open window, or null.
    static HWND handle();

    void setVersionText(const std::string &text) override;
    void unload() override;
    void showMessage(const std::string &text) override;

private:
    AboutWindow(platform::Registry &registry, platform::Launcher &launcher);

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void command(int id, int code);

    HWND m_window = nullptr;
    HWND m_cmdSysInfo = nullptr;
    HWND m_lblVersion = nullptr;
    forms::frmAbout m_form;
};

} // namespace win32
