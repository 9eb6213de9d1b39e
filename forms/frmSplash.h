#pragma once

#include <string>

namespace forms {

class Program;

class SplashView {
public:
    virtual ~SplashView() = default;

    virtual void setVersionText(const std::string &text) = 0;
    virtual void startTimer(int milliseconds) = 0;
    virtual void stopTimer() = 0;
    // Closes the window; the view goes once no handler is running.
    virtual void unload() = 0;
};

namespace splash {

// A place on the screen, in pixels.
struct PixelRect {
    int left;
    int top;
    int width;
    int height;
};

// The edge of its designed place that a label sized to its text keeps.
enum class Keep { Left, Right };

// A label sized to its text: exactly the text's size, at the designed top and the
// designed edge; one that keeps its right edge grows to the left.
PixelRect sizeToText(const PixelRect &designed, int textWidth, int textHeight, Keep edge);

} // namespace splash

// The start-up window: after 1,500 ms, or at once on a character key, it closes and
// hands over to the main window, exactly once.
class frmSplash {
public:
    frmSplash(SplashView &view, Program &program);

    void Form_Load();
    void Timer1_Timer();
    // Only for keys that type a character; the view decides which do and passes the
    // toolkit's code of the physical key, which the main window will not see.
    void Form_KeyPress(int key);

private:
    void handOver();

    SplashView &m_view;
    Program &m_program;
    bool m_handedOver = false;
};

} // namespace forms
