#include "contacts/FileSystem.h"
#include "platform/System.h"
#include "ui/Fonts.h"
#include "ui/Lifetime.h"
#include "ui/MessageBox.h"
#include "ui/Services.h"
#include "ui/frmAbout.h"
#include "ui/frmPersonas.h"
#include "ui/frmSplash.h"
#include "version/Version.h"

#include <QApplication>

#include <filesystem>
#include <memory>

namespace {

// What the main window's menu does to the program as a whole.
class ProgramActions : public ui::Program {
public:
    ProgramActions(ui::AboutWindow &about, ui::Lifetime &lifetime) : m_about(about), m_lifetime(lifetime) {}

    void showAbout() override { m_about.show(); }
    void quit() override { m_lifetime.quitProgram(); }

private:
    ui::AboutWindow &m_about;
    ui::Lifetime &m_lifetime;
};

} // namespace

// The one place where the program is put together: every window gets what it works
// with from here.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(version::kProductName));
    ui::installFonts();

    contacts::FileSystem &files = contacts::systemFileSystem();
    // The contacts live beside the program.
    const std::filesystem::path contactsFolder = QCoreApplication::applicationDirPath().toStdU16String();
    const std::unique_ptr<platform::Registry> registry = platform::makeSystemRegistry();
    const std::unique_ptr<platform::Launcher> launcher = platform::makeSystemLauncher();
    ui::MessageBox messages;
    ui::Lifetime lifetime;
    ui::AboutWindow about(*registry, *launcher, messages);
    ProgramActions program(about, lifetime);

    auto *splash = new ui::frmSplash(lifetime, [&] {
        // The main window comes up here, and only here.
        auto *window = new ui::frmPersonas(files, contactsFolder, messages, program);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    splash->show();
    splash->activateWindow();
    return app.exec();
}
