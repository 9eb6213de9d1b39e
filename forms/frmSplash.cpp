#include "forms/frmSplash.h"

#include "forms/Layout.h"
#include "version/Version.h"

namespace forms {

frmSplash::frmSplash(SplashView &view, std::function<void()> handOver)
    : m_view(view), m_handOver(std::move(handOver))
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

void frmSplash::Form_KeyPress()
{
    handOver();
}

void frmSplash::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    m_view.stopTimer();
    // Closing destroys this object: from the close on only locals may be used.
    const std::function<void()> showMainWindow = std::move(m_handOver);
    m_view.unload();
    if (showMainWindow)
        showMainWindow();
}

} // namespace forms
