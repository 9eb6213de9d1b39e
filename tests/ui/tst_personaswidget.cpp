// The contacts window driven through its own Qt controls: places, keys, limits and
// the wiring to what the window does, which tests/forms checks through a fake view.
#include "contacts/ContactFile.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFakes.h"
#include "ui/Fonts.h"
#include "ui/ListBox.h"
#include "ui/PushButton.h"
#include "ui/Translation.h"
#include "ui/Twips.h"
#include "ui/PersonasWidget.h"
#include "ui/Text.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using contacts::Persona;
using ui::PersonasWidget;
using ui::ListBox;
using ui::PushButton;

namespace {

const Persona kZapata{"Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es"};
const Persona kGomez{"Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es"};
const Persona kAbril{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};

// QTest::keyClicks cannot type non-ASCII text in this Qt: send each character as a
// key event that carries it.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace

class PersonasWidgetTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selectingWithTheMouseShowsTheContact();
    void addStoresAccentedTextAsWindows1252();
    void fieldsStopAtTheirWidth_data();
    void fieldsStopAtTheirWidth();
    void tabVisitsControlsInDesignedOrder();
    void controlsStandAtTheirDesignedPlaces_data();
    void controlsStandAtTheirDesignedPlaces();
    void everyCaptionFitsItsBox();
    void enterInAFieldPressesNoButton();
    void shortcutKeysRunTheirMenuItems();
    void importAndExportReachTheirDialogs();
    void toolkitTextsAreSpanish();

private:
    std::unique_ptr<PersonasWidget> open(contacts::FileSystem &fs = platform::systemFileSystem());
    QWidget *child(const char *name) const;
    void select(int index);
    void press(const char *button);

    std::unique_ptr<testfiles::TempFolder> m_folder;
    std::unique_ptr<PersonasWidget> m_window;
    QStringList m_messages;
    int m_aboutCalls = 0;
    int m_exitCalls = 0;
    RecordingMessages m_recorder{m_messages};
    ScriptedDialogs m_dialogs;
    CountingProgram m_program{m_aboutCalls, m_exitCalls};
};

void PersonasWidgetTest::initTestCase()
{
    // The fonts and Qt's texts the program itself uses, so that captions are
    // measured as shown. The machine's locale is C, as on a machine set up in English.
    ui::installFonts();
    ui::installSpanishTranslation();
}

void PersonasWidgetTest::init()
{
    m_folder = std::make_unique<testfiles::TempFolder>();
    m_messages.clear();
    m_aboutCalls = m_exitCalls = 0;
}

void PersonasWidgetTest::cleanup()
{
    m_window.reset();
    m_folder.reset();
}

std::unique_ptr<PersonasWidget> PersonasWidgetTest::open(contacts::FileSystem &fs)
{
    return std::make_unique<PersonasWidget>(fs, m_folder->path(), m_recorder, m_dialogs, m_program.fresh());
}

QWidget *PersonasWidgetTest::child(const char *name) const
{
    QWidget *widget = m_window->findChild<QWidget *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no control named %s", name);
    return widget;
}

void PersonasWidgetTest::select(int index)
{
    m_window->List1()->setListIndex(index);
}

void PersonasWidgetTest::press(const char *button)
{
    QTest::mouseClick(child(button), Qt::LeftButton);
}

void PersonasWidgetTest::selectingWithTheMouseShowsTheContact()
{
    writeBytes(*m_folder / "personas.dat", recordsOf({kZapata, kGomez, kAbril}));
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    ListBox *list = m_window->List1();
    const QRect third = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(list->listIndex(), 2);
    QCOMPARE(m_window->Text1(0)->text(), QStringLiteral("Zapata"));
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(list->listIndex(), 1);
    QCOMPARE(m_window->Text1(1)->text(), QStringLiteral("Luis"));

    // Once chosen, an entry stays chosen: Ctrl with a click or Space on it, or a
    // click below the last entry, neither clears the selection nor the fields.
    const QRect second = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, second.center());
    QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(second.center().x(), third.bottom() + 20));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(second.center().x(), third.bottom() + 20));
    QCOMPARE(list->listIndex(), 1);
    QCOMPARE(m_window->Text1(1)->text(), QStringLiteral("Luis"));

    // Another writer adds a contact who sorts first: the click on Zapata loads the
    // list again from within the list's own selection, and Zapata stays chosen; the
    // keys go on from there, and the delete takes Zapata.
    contacts::ContactFile other(platform::systemFileSystem(), m_folder->path());
    other.append({"Aguirre", "Aaron", "", "", ""});
    other.sortAndList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->listIndex(), 3);
    QCOMPARE(m_window->Text1(1)->text(), QStringLiteral("Pedro"));
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(m_window->Text1(0)->text(), QStringLiteral("Abril"));
    QTest::keyClick(list, Qt::Key_Down);
    press("cmdBajas");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->text(2), QStringLiteral("Abril"));
    QVERIFY(m_messages.isEmpty());
}

void PersonasWidgetTest::addStoresAccentedTextAsWindows1252()
{
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QStringList typed{"Núñez", "Óscar", "Calle Peñón 5", "+34 600", "ó@é.es"};
    for (int i = 0; i < 5; ++i)
        typeText(m_window->Text1(i), typed[i]);
    press("cmdAltas");
    for (int i = 0; i < 5; ++i)
        QVERIFY(m_window->Text1(i)->text().isEmpty());
    QCOMPARE(m_window->List1()->listIndex(), -1);
    const QByteArray bytes = QByteArray::fromStdString(readBytes(*m_folder / "personas.dat"));
    QCOMPARE(bytes.size(), 105);
    QCOMPARE(bytes.left(5), QByteArray("N\xFA\xF1""ez"));
    QCOMPARE(bytes.mid(25, 5), QByteArray("\xD3scar"));
    select(0);
    QCOMPARE(m_window->Text1(0)->text(), typed[0]);
    QCOMPARE(m_window->Text1(4)->text(), typed[4]);
}

void PersonasWidgetTest::fieldsStopAtTheirWidth_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("width");
    QTest::newRow("Apellido") << 0 << 25;
    QTest::newRow("Nombre") << 1 << 20;
    QTest::newRow("Direccion") << 2 << 20;
    QTest::newRow("Telefono") << 3 << 15;
    QTest::newRow("Email") << 4 << 25;
}

void PersonasWidgetTest::fieldsStopAtTheirWidth()
{
    QFETCH(int, field);
    QFETCH(int, width);
    m_window = open();
    QLineEdit *edit = m_window->Text1(field);
    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyzñóéá");
    typeText(edit, thirty);
    QCOMPARE(edit->text(), thirty.left(width));

    edit->clear();
    QApplication::clipboard()->setText(thirty);
    edit->paste();
    QCOMPARE(edit->text(), thirty.left(width));

    auto *search = qobject_cast<QLineEdit *>(child("txtBusqueda"));
    search->insert(thirty + thirty);
    QCOMPARE(search->text().size(), 60);
}

void PersonasWidgetTest::tabVisitsControlsInDesignedOrder()
{
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QCOMPARE(QApplication::focusWidget(), m_window->Text1(0));
    const QStringList order{"Text1(1)", "Text1(2)", "Text1(3)", "Text1(4)", "cmdAltas", "cmdModificar",
                            "cmdBajas", "cmdVerlista", "cmdLimpiar", "List1", "txtBusqueda", "Text1(0)"};
    for (const QString &name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtBusqueda"));
}

void PersonasWidgetTest::controlsStandAtTheirDesignedPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    // The pixel values at 96 dpi that the twip values give.
    QTest::newRow("Text1(0)") << "Text1(0)" << QRect(24, 48, 107, 28);
    QTest::newRow("Text1(4)") << "Text1(4)" << QRect(24, 288, 105, 33);
    QTest::newRow("Label2") << "Label2" << QRect(24, 144, 105, 17);
    QTest::newRow("cmdLimpiar") << "cmdLimpiar" << QRect(152, 216, 105, 33);
    QTest::newRow("txtBusqueda") << "txtBusqueda" << QRect(288, 56, 105, 19);
    QTest::newRow("List1") << "List1" << QRect(288, 80, 105, 160);
    QTest::newRow("Label6") << "Label6" << QRect(0, 336, 417, 25);
}

void PersonasWidgetTest::controlsStandAtTheirDesignedPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    m_window = open();
    QCOMPARE(child(name.toLatin1().constData())->geometry(), pixels);
    QWidget *client = child("clientArea");
    QCOMPARE(client->size(), QSize(418, 369));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_window->windowFlags() & Qt::WindowMinimizeButtonHint);
}

void PersonasWidgetTest::everyCaptionFitsItsBox()
{
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const auto labels = m_window->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 6);
    for (const QLabel *label : labels) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(label->text()));
    }
    const auto buttons = m_window->findChildren<PushButton *>();
    QCOMPARE(buttons.size(), 5);
    for (const PushButton *button : buttons) {
        const QFontMetrics metrics(button->font());
        const QRect area = button->captionRect();
        const QRect needed = metrics.boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, button->text());
        QVERIFY2(area.contains(needed), qPrintable(button->text()));
        // Wrapping happens only at a word boundary: no single word is wider than the box.
        for (const QString &word : button->text().split(QLatin1Char(' ')))
            QVERIFY2(metrics.horizontalAdvance(word) <= area.width(), qPrintable(word));
    }
}

void PersonasWidgetTest::enterInAFieldPressesNoButton()
{
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->Text1(0)->setText(QStringLiteral("Pérez"));
    QTest::keyClick(m_window->Text1(0), Qt::Key_Return);
    QTest::keyClick(m_window->Text1(0), Qt::Key_Escape);
    QCOMPARE(QByteArray::fromStdString(readBytes(*m_folder / "personas.dat")).size(), 0);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->Text1(0)->text(), QStringLiteral("Pérez"));
    // On a button that has the focus, Enter presses it.
    child("cmdAltas")->setFocus();
    QTest::keyClick(child("cmdAltas"), Qt::Key_Return);
    QTRY_COMPARE(QByteArray::fromStdString(readBytes(*m_folder / "personas.dat")).size(), 105);
}

void PersonasWidgetTest::toolkitTextsAreSpanish()
{
    m_window = open();
    for (QLineEdit *field : {m_window->Text1(0), m_window->findChild<QLineEdit *>(QStringLiteral("txtBusqueda"))}) {
        std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
        QStringList items;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                items << action->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
        }
        QCOMPARE(items, QStringList({"Deshacer", "Rehacer", "Cortar", "Copiar", "Pegar", "Eliminar",
                                     "Seleccionar todo"}));
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vorteda"), QStringLiteral("texto"), QMessageBox::Ok);
    QCOMPARE(box.button(QMessageBox::Ok)->text().remove(QLatin1Char('&')), QStringLiteral("Aceptar"));
}

void PersonasWidgetTest::shortcutKeysRunTheirMenuItems()
{
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window->Text1(2), Qt::Key_F1);
    QCOMPARE(m_aboutCalls, 1);
    QTest::keyClick(m_window->Text1(2), Qt::Key_F4);
    QCOMPARE(m_exitCalls, 1);

    auto *bar = m_window->findChild<QMenuBar *>();
    QCOMPARE(bar->actions().size(), 2);
    QCOMPARE(bar->actions().at(0)->text(), QStringLiteral("&Archivo"));
    QCOMPARE(bar->actions().at(1)->text(), QStringLiteral("Ayuda"));
    // Each menu's items, with their shortcut keys; "|" is a separator.
    const auto items = [&](const char *menu) {
        QStringList shown;
        for (QAction *action : m_window->findChild<QMenu *>(QString::fromLatin1(menu))->actions())
            shown << (action->isSeparator() ? QStringLiteral("|")
                                            : action->text() + QLatin1Char(' ') + action->shortcut().toString());
        return shown;
    };
    QCOMPARE(items("gfh"), QStringList({"&Importar contactos... ", "&Exportar contactos... ", "|", "Salir F4"}));
    QCOMPARE(items("sedf"), QStringList({"Acerca... F1"}));
    QTest::keyClick(m_window.get(), Qt::Key_A, Qt::AltModifier);
    auto *archivo = m_window->findChild<QMenu *>(QStringLiteral("gfh"));
    QTRY_VERIFY(archivo->isVisible());
    archivo->close();
}

// The menu items and a drop reach the window's import and export through the
// dialogs; a file dropped on a field is imported, not typed into it.
void PersonasWidgetTest::importAndExportReachTheirDialogs()
{
    writeBytes(*m_folder / "personas.dat", recordsOf({kZapata}));
    testfiles::TempFolder files;
    const std::filesystem::path gomez = files.path() / "gómez.vcf";
    const std::filesystem::path abril = files.path() / "abril.vcf";
    writeBytes(gomez, "BEGIN:VCARD\r\nN:Gómez;Ana\r\nEND:VCARD\r\n");
    writeBytes(abril, "BEGIN:VCARD\r\nN:Abril;Luis\r\nEND:VCARD\r\n");
    m_dialogs.questions.clear();
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    m_dialogs.toOpen = forms::ChosenFile{gomez, 0};
    m_window->findChild<QAction *>(QStringLiteral("mnuImportar"))->trigger();
    QCOMPARE(m_dialogs.questions.size(), 1);
    QCOMPARE(m_dialogs.accepted, QStringList({"Importar"}));
    QCOMPARE(m_window->List1()->count(), 2);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(ui::pathText(abril))});
    data.setText(QStringLiteral("abril.vcf"));
    const QPoint at = m_window->Text1(0)->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window->Text1(0), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window->Text1(0), &drop);
    QTRY_COMPARE(m_dialogs.questions.size(), 2);
    QCOMPARE(m_window->List1()->count(), 3);
    QVERIFY(m_window->Text1(0)->text().isEmpty());

    m_dialogs.toSave = forms::ChosenFile{files.path() / "todos", 1};
    m_window->findChild<QAction *>(QStringLiteral("mnuExportar"))->trigger();
    QCOMPARE(readBytes(files.path() / "todos.csv").substr(0, 3), std::string("\xEF\xBB\xBF"));
    // Each import says what it added, then the export what it wrote.
    QCOMPARE(m_messages.size(), 3);
    QVERIFY2(m_messages[0].startsWith(QStringLiteral("Se ha añadido 1 contacto de «")), qPrintable(m_messages[0]));
    QVERIFY2(m_messages[1].startsWith(QStringLiteral("Se ha añadido 1 contacto de «")), qPrintable(m_messages[1]));
    QVERIFY2(m_messages[2].startsWith(QStringLiteral("Se han exportado 3 contactos a «")), qPrintable(m_messages[2]));
}

QTEST_MAIN(PersonasWidgetTest)
#include "tst_personaswidget.moc"
