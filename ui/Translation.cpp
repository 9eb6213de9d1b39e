#include "ui/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ui {

namespace {

// A Spanish Windows names the text fields' Delete "Eliminar"; Qt's translation says
// "Borrar". Asked before Qt's translation, as the later-installed translator is.
class FieldMenuWording : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QLineEdit") == 0 && qstrcmp(sourceText, "Delete") == 0)
            return QStringLiteral("Eliminar");
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

void installSpanishTranslation()
{
    auto *qtTexts = new QTranslator(QCoreApplication::instance());
    // Without the translation the program still works, in Qt's English.
    if (!qtTexts->load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qtTexts;
        return;
    }
    QCoreApplication::installTranslator(qtTexts);
    QCoreApplication::installTranslator(new FieldMenuWording(QCoreApplication::instance()));
}

} // namespace ui
