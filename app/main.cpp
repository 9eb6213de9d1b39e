#include "frmPersonas.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    frmPersonas window;
    window.show();
    return app.exec();
}
