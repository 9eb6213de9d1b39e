#include "ui/Fonts.h"
#include "ui/Lifetime.h"
#include "version/Version.h"
#include "ui/frmPersonas.h"
#include "ui/frmSplash.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(version::kProductName));
    ui::installFonts();
    ui::Lifetime lifetime;

    auto *splash = new frmSplash([] {
        // The main window comes up here, and only here; its contacts live beside
        // the program.
        auto *window = new frmPersonas(contacts::systemFileSystem(),
                                       QCoreApplication::applicationDirPath().toStdU16String());
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    splash->show();
    splash->activateWindow();
    return app.exec();
}
