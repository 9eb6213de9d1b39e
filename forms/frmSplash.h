#pragma once

#include <functional>
#include <string>

namespace forms {

class SplashView {
public:
    virtual ~SplashView() = default;

    virtual void setVersionText(const std::string &text) = 0;
    virtual void startTimer(int milliseconds) = 0;
    virtual void stopTimer() = 0;
    // Closes and destroys the window, and with it this behaviour object.
    virtual void unload() = 0;
};

// The start-up window: after 1,500 ms, or at once on a character key, it closes and
// hands over to the main window, exactly once.
class frmSplash {
public:
    // `handOver` brings up the main window; it runs once, after the splash has closed.
    frmSplash(SplashView &view, std::function<void()> handOver);

    void Form_Load();
    void Timer1_Timer();
    // Only for keys that type a character; the view decides which do.
    void Form_KeyPress();

    bool handedOver() const { return m_handedOver; }

private:
    void handOver();

    SplashView &m_view;
    std::function<void()> m_handOver;
    bool m_handedOver = false;
};

} // namespace forms
