#include "ui/Fonts.h"
#include "ui/Lifetime.h"
#include "app/Version.h"
#include "ui/frmPersonas.h"
#include "ui/frmSplash.h"
#include "platform/ContactsFolder.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(app::kProductName));
    ui::installFonts();
    ui::Lifetime lifetime;

    // A folder that cannot be made is reported by the window like any file error.
    platform::ContactsFileSystem files(contacts::systemFileSystem(), platform::contactsFolder());
    auto *splash = new frmSplash([&files] {
        // The main window comes up here, and only here.
        auto *window = new frmPersonas(files, files.folder());
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    splash->show();
    splash->activateWindow();
    return app.exec();
}
