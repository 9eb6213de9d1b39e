#pragma once

#include "forms/frmAbout.h"
#include "win32/ControlIds.h"
#include "win32/Window.h"

#include <windows.h>

namespace win32 {

// The About window as a native Win32 tool window: a view over forms::frmAbout.
// Modeless and without an owner.
class AboutWindow : public BaseWindow<AboutWindow>, private forms::AboutView {
public:
    static constexpr const wchar_t *kClassName = kAboutClass;

    AboutWindow(Win32Program &root, platform::Registry &registry, platform::Launcher &launcher);

    // Creates, loads and shows the window at its designed place. Throws
    // WindowCreationFailed.
    void open();

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void createControls();
    void command(int id, int code);

    // forms::AboutView
    void setVersionText(const std::string &text) override;
    void unload() override;
    void showMessage(const std::string &text) override;

    HWND m_cmdSysInfo = nullptr;
    HWND m_lblVersion = nullptr;
    forms::frmAbout m_form;
};

} // namespace win32
