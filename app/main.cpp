#include "frmPersonas.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    frmPersonas window(contacts::systemFileSystem(),
                       QCoreApplication::applicationDirPath().toStdU16String());
    window.show();
    return app.exec();
}
