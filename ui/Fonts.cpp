#include "ui/Fonts.h"

#include "ui/Twips.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace ui {

namespace {

// Tahoma ships with Wine's fonts in a folder that fontconfig does not scan.
const QStringList kTahomaFiles{
    QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
    QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"),
};

} // namespace

void installFonts()
{
    bool haveTahoma = false;
    for (const QString &file : kTahomaFiles) {
        if (!QFile::exists(file))
            continue;
        const int id = QFontDatabase::addApplicationFont(file);
        if (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(QStringLiteral("Tahoma")))
            haveTahoma = true;
    }
    if (!haveTahoma)
        haveTahoma = QFontDatabase::families().contains(QStringLiteral("Tahoma"));

    // Stand-ins of the same proportions for the faces the windows ask for by name.
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));

    QFont dialogFont(haveTahoma ? QStringLiteral("Tahoma") : QStringLiteral("Liberation Sans"));
    dialogFont.setPixelSize(pointsToPixels(8));
    QApplication::setFont(dialogFont);
}

} // namespace ui
