#include "forms/frmAbout.h"

#include "forms/Layout.h"
#include "platform/SysInfo.h"
#include "version/Version.h"

namespace forms {

std::string about::title()
{
    return std::string(version::kCompanyName) + " " + version::kProductName;
}

std::string about::description()
{
    return std::string(kDescription) + version::kWebAddress;
}

frmAbout::frmAbout(AboutView &view, platform::Registry &registry, platform::Launcher &launcher)
    : m_view(view), m_registry(registry), m_launcher(launcher)
{
}

void frmAbout::Form_Load()
{
    m_view.setVersionText("Versión " + std::to_string(version::kMajor) + "." + std::to_string(version::kMinor));
}

void frmAbout::cmdOK_Click()
{
    m_view.unload();
}

void frmAbout::cmdSysInfo_Click()
{
    platform::StartSysInfo(m_registry, m_launcher, [this](const std::string &text) { m_view.showMessage(text); });
}

} // namespace forms
