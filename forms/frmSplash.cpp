#include "forms/frmSplash.h"

#include "forms/Layout.h"
#include "forms/Program.h"
#include "version/Version.h"

namespace forms {

splash::PixelRect splash::sizeToText(const PixelRect &designed, int textWidth, int textHeight, Keep edge)
{
    const int left = edge == Keep::Right ? designed.left + designed.width - textWidth : designed.left;
    return PixelRect{left, designed.top, textWidth, textHeight};
}

frmSplash::frmSplash(SplashView &view, Program &program) : m_view(view), m_program(program)
{
}

void frmSplash::Form_Load()
{
    m_view.setVersionText("Version " + std::to_string(version::kMajor) + "." + std::to_string(version::kMinor) + "."
                          + std::to_string(version::kRevision));
    m_view.startTimer(splash::kMilliseconds);
}

void frmSplash::Timer1_Timer()
{
    handOver();
}

void frmSplash::Form_KeyPress(int key)
{
    if (!m_handedOver)
        m_program.keepKeyFromMainWindow(key);
    handOver();
}

void frmSplash::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    m_view.stopTimer();
    // No window is open between the close and the main window's show; the handler
    // that runs this holds the program meanwhile.
    m_view.unload();
    m_program.handOver();
}

} // namespace forms
