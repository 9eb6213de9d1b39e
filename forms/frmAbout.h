#pragma once

#include <string>

namespace platform {
class Launcher;
class Registry;
} // namespace platform

namespace forms {

class AboutView {
public:
    virtual ~AboutView() = default;

    virtual void setVersionText(const std::string &text) = 0;
    // Closes the window; the view goes once no handler is running.
    virtual void unload() = 0;
    virtual void showMessage(const std::string &text) = 0;
};

namespace about {

// The window's composed captions: maker and product ("Brimacor Vorteda"), and the
// thank-you that ends with the maker's web address.
std::string title();
std::string description();

} // namespace about

// The About window: maker, product and version, "OK" and "System Info...".
class frmAbout {
public:
    frmAbout(AboutView &view, platform::Registry &registry, platform::Launcher &launcher);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

private:
    AboutView &m_view;
    platform::Registry &m_registry;
    platform::Launcher &m_launcher;
};

} // namespace forms
