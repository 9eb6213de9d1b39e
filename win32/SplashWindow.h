#pragma once

#include "forms/Layout.h"
#include "forms/frmSplash.h"
#include "win32/ControlIds.h"
#include "win32/Window.h"

#include <windows.h>

namespace win32 {

// The start-up window as a native Win32 window: a view over forms::frmSplash.
class SplashWindow : public BaseWindow<SplashWindow>, private forms::SplashView {
public:
    static constexpr const wchar_t *kClassName = kSplashClass;

    explicit SplashWindow(Win32Program &root);
    ~SplashWindow() override;

    // Creates, loads and shows the splash, centred. Throws WindowCreationFailed.
    void open();

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    // Frame1: a child window of its own class, which paints the dark-red panel and
    // its controls' colours.
    class Frame : public BaseWindow<Frame> {
    public:
        static constexpr const wchar_t *kClassName = kFrameClass;

        Frame(Win32Program &root, SplashWindow &splash) : BaseWindow(root, forms::Window::Splash), m_splash(splash) {}
        void create(HWND parent);

        LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
        // A part of the splash: the splash's own end is the one the root hears of.
        void destroyed() {}

    private:
        SplashWindow &m_splash;
    };

    void createControls();
    HWND label(int id, const std::string &text, const forms::TwipRect &place, DWORD align, HFONT font);
    void sizeToText(HWND label, const forms::TwipRect &place, forms::splash::Keep edge);

    // forms::SplashView
    void setVersionText(const std::string &text) override;
    void startTimer(int milliseconds) override;
    void stopTimer() override;
    void unload() override;

    Frame m_frame1;
    HWND m_lblVersion = nullptr;
    HICON m_logo = nullptr;
    HBRUSH m_darkRed = nullptr;
    HFONT m_small = nullptr;
    HFONT m_company = nullptr;
    HFONT m_product = nullptr;
    HFONT m_platform = nullptr;
    forms::frmSplash m_form;
};

} // namespace win32
