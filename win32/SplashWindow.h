#pragma once

#include "forms/Layout.h"
#include "forms/frmSplash.h"

#include <windows.h>

#include <functional>

namespace win32 {

// The start-up window as a native Win32 window: a view over forms::frmSplash.
class SplashWindow : public forms::SplashView {
public:
    // Creates, loads and shows the splash, centred; `handOver` brings up the main window.
    static void open(std::function<void()> handOver);

    void setVersionText(const std::string &text) override;
    void startTimer(int milliseconds) override;
    void stopTimer() override;
    void unload() override;

private:
    enum class Keep { Left, Right };

    explicit SplashWindow(std::function<void()> handOver);

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    HWND label(int id, const std::string &text, const forms::TwipRect &place, DWORD align, HFONT font);
    void sizeToText(HWND label, const forms::TwipRect &place, Keep edge);

    HWND m_window = nullptr;
    HWND m_frame1 = nullptr;
    HWND m_lblVersion = nullptr;
    HICON m_logo = nullptr;
    HFONT m_small = nullptr;
    HFONT m_company = nullptr;
    HFONT m_product = nullptr;
    HFONT m_platform = nullptr;
    forms::frmSplash m_form;
};

} // namespace win32
