// The contacts window driven through its own controls, checking both what it shows
// and the bytes on disk.
#include "tests/ContactFolder.h"
#include "tests/FaultyFileSystem.h"
#include "tests/WindowFakes.h"
#include "ui/Fonts.h"
#include "ui/ListBox.h"
#include "ui/PushButton.h"
#include "ui/Twips.h"
#include "ui/frmPersonas.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using contacts::Persona;
using ui::frmPersonas;
using ui::ListBox;
using ui::PushButton;

namespace {

const Persona kZapata{"Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es"};
const Persona kGomez{"Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es"};
const Persona kAbril{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};

QStringList listEntries(const ListBox *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->text(i);
    return entries;
}

QList<QByteArray> sortedRecords(const QByteArray &file)
{
    QList<QByteArray> records;
    for (qsizetype at = 0; at < file.size(); at += 105)
        records << file.mid(at, 105);
    std::sort(records.begin(), records.end());
    return records;
}

// QTest::keyClicks cannot type non-ASCII text in this Qt: send each character as a
// key event that carries it.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace

class FrmPersonasTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithCaptionAndCreatesMissingFile();
    void listsSurnamesInGivenNameOrder();
    void selectingAnEntryShowsItsTrimmedFields_data();
    void selectingAnEntryShowsItsTrimmedFields();
    void selectingWithTheMouseShowsTheContact();
    void listLoadKeepsFieldsAndClearsSelection();
    void addWithEmptyFieldsListsABlankLineFirst();
    void addStoresAccentedTextAsWindows1252();
    void deleteRemovesTheSelectedRecord_data();
    void deleteRemovesTheSelectedRecord();
    void deleteKeepsTheFieldsShown();
    void deleteWithoutSelectionDoesNotOpenTheFile();
    void modifyMovesTheContactToItsNewPlace();
    void modifyWithoutSelectionAdds();
    void clearThenDeleteStillDeletesTheSelection();
    void searchSelectsFirstEntryWithPrefix_data();
    void searchSelectsFirstEntryWithPrefix();
    void searchOnEmptyListSelectsNothing();
    void fieldsStopAtTheirWidth_data();
    void fieldsStopAtTheirWidth();
    void tabVisitsControlsInDesignedOrder();
    void controlsStandAtTheirDesignedPlaces_data();
    void controlsStandAtTheirDesignedPlaces();
    void everyCaptionFitsItsBox();
    void enterInAFieldPressesNoButton();
    void shortcutKeysRunTheirMenuItems();
    void failedFileStepLeavesTheFileAndGoesOn_data();
    void failedFileStepLeavesTheFileAndGoesOn();
    void unwritableFolderStillListsTheFile();
    void readOnlyDataFileIsListedAndNeverReplaced_data();
    void readOnlyDataFileIsListedAndNeverReplaced();
    void deleteRefusesARecordChangedByAnotherCopy();

private:
    std::unique_ptr<frmPersonas> open(contacts::FileSystem &fs = contacts::systemFileSystem());
    QWidget *child(const char *name) const;
    void select(int index);
    void press(const char *button);

    std::unique_ptr<ContactFolder> m_folder;
    std::unique_ptr<frmPersonas> m_window;
    QStringList m_messages;
    int m_aboutCalls = 0;
    int m_exitCalls = 0;
    RecordingMessages m_recorder{m_messages};
    CountingProgram m_program{m_aboutCalls, m_exitCalls};
};

void FrmPersonasTest::initTestCase()
{
    // The fonts the program itself uses, so that captions are measured as shown.
    ui::installFonts();
}

void FrmPersonasTest::init()
{
    m_folder = std::make_unique<ContactFolder>();
    m_messages.clear();
    m_aboutCalls = m_exitCalls = 0;
}

void FrmPersonasTest::cleanup()
{
    m_window.reset();
    m_folder.reset();
}

std::unique_ptr<frmPersonas> FrmPersonasTest::open(contacts::FileSystem &fs)
{
    return std::make_unique<frmPersonas>(fs, m_folder->path(), m_recorder, m_program);
}

QWidget *FrmPersonasTest::child(const char *name) const
{
    QWidget *widget = m_window->findChild<QWidget *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no control named %s", name);
    return widget;
}

void FrmPersonasTest::select(int index)
{
    m_window->List1()->setListIndex(index);
}

void FrmPersonasTest::press(const char *button)
{
    QTest::mouseClick(child(button), Qt::LeftButton);
}

void FrmPersonasTest::startsWithCaptionAndCreatesMissingFile()
{
    QVERIFY(!m_folder->hasData());
    m_window = open();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Vorteda 1.3"));
    QCOMPARE(m_window->List1()->count(), 0);
    QCOMPARE(m_window->List1()->listIndex(), -1);
    QVERIFY(m_folder->hasData());
    QCOMPARE(m_folder->data().size(), 0);
    QVERIFY(m_messages.isEmpty());
}

void FrmPersonasTest::listsSurnamesInGivenNameOrder()
{
    m_folder->setData(ContactFolder::records({kZapata, kGomez, kAbril}));
    m_window = open();
    QCOMPARE(listEntries(m_window->List1()), (QStringList{"Gómez", "Abril", "Zapata"}));
    QCOMPARE(m_window->List1()->listIndex(), -1);
    // The file itself was sorted, so list entry i is record i + 1.
    QCOMPARE(m_folder->data(), ContactFolder::records({kGomez, kAbril, kZapata}));
}

void FrmPersonasTest::selectingAnEntryShowsItsTrimmedFields_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("Abril shows the Luis record")
        << ContactFolder::records({kZapata, kGomez, kAbril}) << 1
        << QStringList{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};
    QTest::newRow("leading spaces are trimmed")
        << ContactFolder::records({{"   Ruiz", "  Eva", " Sur 2", " 1", "  e@x.es"}}) << 0
        << QStringList{"Ruiz", "Eva", "Sur 2", "1", "e@x.es"};
    QTest::newRow("an empty surname can be selected")
        << ContactFolder::records({{"", "Zoe", "", "", ""}, kAbril}) << 1
        << QStringList{"", "Zoe", "", "", ""};
    QTest::newRow("full-width fields keep every character")
        << ContactFolder::records({{"Abcdefghijklmnopqrstuvwxy", "Nombre Compuesto Larg", "", "", ""}}) << 0
        << QStringList{"Abcdefghijklmnopqrstuvwxy", "Nombre Compuesto Lar", "", "", ""};
}

void FrmPersonasTest::selectingAnEntryShowsItsTrimmedFields()
{
    QFETCH(QByteArray, file);
    QFETCH(int, index);
    QFETCH(QStringList, fields);
    m_folder->setData(file);
    m_window = open();
    select(index);
    QCOMPARE(m_window->List1()->listIndex(), index);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(m_window->Text1(i)->text(), fields[i]);
}

void FrmPersonasTest::selectingWithTheMouseShowsTheContact()
{
    m_folder->setData(ContactFolder::records({kZapata, kGomez, kAbril}));
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
}

void FrmPersonasTest::listLoadKeepsFieldsAndClearsSelection()
{
    m_folder->setData(ContactFolder::records({kZapata, kGomez, kAbril}));
    m_window = open();
    select(2);
    press("cmdVerlista");
    QCOMPARE(m_window->List1()->listIndex(), -1);
    QCOMPARE(m_window->Text1(0)->text(), QStringLiteral("Zapata"));
    QCOMPARE(m_window->Text1(1)->text(), QStringLiteral("Pedro"));
    QCOMPARE(m_window->List1()->count(), 3);
}

void FrmPersonasTest::addWithEmptyFieldsListsABlankLineFirst()
{
    m_folder->setData(ContactFolder::records({kGomez, kAbril}));
    m_window = open();
    press("cmdAltas");
    QCOMPARE(listEntries(m_window->List1()), (QStringList{"", "Gómez", "Abril"}));
    QCOMPARE(m_folder->data(), QByteArray(105, ' ') + ContactFolder::records({kGomez, kAbril}));
    QVERIFY(m_messages.isEmpty());
}

void FrmPersonasTest::addStoresAccentedTextAsWindows1252()
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
    const QByteArray bytes = m_folder->data();
    QCOMPARE(bytes.size(), 105);
    QCOMPARE(bytes.left(5), QByteArray("N\xFA\xF1""ez"));
    QCOMPARE(bytes.mid(25, 5), QByteArray("\xD3scar"));
    select(0);
    QCOMPARE(m_window->Text1(0)->text(), typed[0]);
    QCOMPARE(m_window->Text1(4)->text(), typed[4]);
}

void FrmPersonasTest::deleteRemovesTheSelectedRecord_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("the only record") << ContactFolder::records({kAbril}) << 0 << QByteArray();
    QTest::newRow("the first of three") << ContactFolder::records({kGomez, kAbril, kZapata}) << 0
                                        << ContactFolder::records({kAbril, kZapata});
    QTest::newRow("the last of three") << ContactFolder::records({kGomez, kAbril, kZapata}) << 2
                                       << ContactFolder::records({kGomez, kAbril});
    QTest::newRow("one of two equal contacts")
        << ContactFolder::records({kGomez, kGomez, kAbril}) << 1 << ContactFolder::records({kGomez, kAbril});
}

void FrmPersonasTest::deleteRemovesTheSelectedRecord()
{
    QFETCH(QByteArray, file);
    QFETCH(int, index);
    QFETCH(QByteArray, expected);
    m_folder->setData(file);
    m_window = open();
    select(index);
    press("cmdBajas");
    QCOMPARE(m_folder->data(), expected);
    QCOMPARE(m_window->List1()->count(), static_cast<int>(expected.size() / 105));
    QCOMPARE(m_window->List1()->listIndex(), -1);
    QVERIFY(!QFile::exists(QString::fromStdString((m_folder->path() / "personas.tmp").string())));
    QVERIFY(m_messages.isEmpty());
}

void FrmPersonasTest::deleteKeepsTheFieldsShown()
{
    m_folder->setData(ContactFolder::records({kGomez, kAbril}));
    m_window = open();
    select(1);
    press("cmdBajas");
    QCOMPARE(listEntries(m_window->List1()), QStringList{"Gómez"});
    QCOMPARE(m_window->Text1(0)->text(), QStringLiteral("Abril"));
    QCOMPARE(m_window->Text1(3)->text(), QStringLiteral("600555666"));
}

void FrmPersonasTest::deleteWithoutSelectionDoesNotOpenTheFile()
{
    m_folder->setData(ContactFolder::records({kGomez, kAbril}));
    FaultyFileSystem fs;
    m_window = open(fs);
    fs.reset();
    press("cmdBajas");
    QCOMPARE(fs.calls(), 0u);
    QCOMPARE(m_window->List1()->count(), 2);
}

void FrmPersonasTest::modifyMovesTheContactToItsNewPlace()
{
    m_folder->setData(ContactFolder::records({kGomez, kAbril, kZapata}));
    m_window = open();
    select(0); // Gómez, Ana
    m_window->Text1(1)->setText(QStringLiteral("Rosa"));
    press("cmdModificar");
    QCOMPARE(listEntries(m_window->List1()), (QStringList{"Abril", "Zapata", "Gómez"}));
    QCOMPARE(m_window->List1()->listIndex(), -1);
    for (int i = 0; i < 5; ++i)
        QVERIFY(m_window->Text1(i)->text().isEmpty());
    Persona moved = kGomez;
    moved.Nombre = "Rosa";
    QCOMPARE(m_folder->data(), ContactFolder::records({kAbril, kZapata, moved}));
}

void FrmPersonasTest::modifyWithoutSelectionAdds()
{
    m_folder->setData(ContactFolder::records({kGomez}));
    m_window = open();
    m_window->Text1(0)->setText(QStringLiteral("Abril"));
    m_window->Text1(1)->setText(QStringLiteral("Luis"));
    m_window->Text1(2)->setText(QStringLiteral("Avda. Paz 7"));
    m_window->Text1(3)->setText(QStringLiteral("600555666"));
    m_window->Text1(4)->setText(QStringLiteral("la@correo.es"));
    press("cmdModificar");
    QCOMPARE(m_folder->data(), ContactFolder::records({kGomez, kAbril}));
    QCOMPARE(m_window->Text1(0)->text(), QString());
}

void FrmPersonasTest::clearThenDeleteStillDeletesTheSelection()
{
    m_folder->setData(ContactFolder::records({kGomez, kAbril, kZapata}));
    m_window = open();
    select(1);
    press("cmdLimpiar");
    for (int i = 0; i < 5; ++i)
        QVERIFY(m_window->Text1(i)->text().isEmpty());
    QCOMPARE(m_window->List1()->listIndex(), 1);
    press("cmdBajas");
    QCOMPARE(m_folder->data(), ContactFolder::records({kGomez, kZapata}));
}

void FrmPersonasTest::searchSelectsFirstEntryWithPrefix_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("surname");

    // List order (by given name): Gómez (Ana), Gomes (Bea), Abril (Luis), Zapata (Pedro).
    QTest::newRow("accented capital finds it") << "Gó" << 0 << "Gómez";
    QTest::newRow("case matters") << "gó" << -1 << "";
    QTest::newRow("accents are distinct letters") << "Gomez" << -1 << "";
    QTest::newRow("first of two in list order") << "G" << 0 << "Gómez";
    QTest::newRow("second prefix") << "Gom" << 1 << "Gomes";
    QTest::newRow("empty text selects the first entry") << "" << 0 << "Gómez";
    QTest::newRow("longer than every surname") << "Zapatazo" << -1 << "";
    QTest::newRow("the last entry") << "Z" << 3 << "Zapata";
}

void FrmPersonasTest::searchSelectsFirstEntryWithPrefix()
{
    QFETCH(QString, search);
    QFETCH(int, index);
    QFETCH(QString, surname);
    m_folder->setData(ContactFolder::records({kZapata, kGomez, kAbril, {"Gomes", "Bea", "", "", ""}}));
    FaultyFileSystem fs;
    m_window = open(fs);
    auto *box = qobject_cast<QLineEdit *>(child("txtBusqueda"));
    box->setText(QStringLiteral("x")); // so that the search text below is a change
    fs.reset();
    box->clear();
    typeText(box, search);
    if (search.isEmpty())
        QCOMPARE(fs.calls() > 0, true); // emptying the box searched too
    QCOMPARE(m_window->List1()->listIndex(), index);
    QCOMPARE(m_window->Text1(0)->text(), surname);
    if (index < 0) {
        for (int i = 0; i < 5; ++i)
            QVERIFY(m_window->Text1(i)->text().isEmpty());
    }
}

void FrmPersonasTest::searchOnEmptyListSelectsNothing()
{
    m_window = open();
    auto *box = qobject_cast<QLineEdit *>(child("txtBusqueda"));
    box->setText(QStringLiteral("a"));
    box->clear();
    QCOMPARE(m_window->List1()->listIndex(), -1);
}

void FrmPersonasTest::fieldsStopAtTheirWidth_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("width");
    QTest::newRow("Apellido") << 0 << 25;
    QTest::newRow("Nombre") << 1 << 20;
    QTest::newRow("Direccion") << 2 << 20;
    QTest::newRow("Telefono") << 3 << 15;
    QTest::newRow("Email") << 4 << 25;
}

void FrmPersonasTest::fieldsStopAtTheirWidth()
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

void FrmPersonasTest::tabVisitsControlsInDesignedOrder()
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

void FrmPersonasTest::controlsStandAtTheirDesignedPlaces_data()
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

void FrmPersonasTest::controlsStandAtTheirDesignedPlaces()
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

void FrmPersonasTest::everyCaptionFitsItsBox()
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

void FrmPersonasTest::enterInAFieldPressesNoButton()
{
    m_window = open();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->Text1(0)->setText(QStringLiteral("Pérez"));
    QTest::keyClick(m_window->Text1(0), Qt::Key_Return);
    QTest::keyClick(m_window->Text1(0), Qt::Key_Escape);
    QCOMPARE(m_folder->data().size(), 0);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->Text1(0)->text(), QStringLiteral("Pérez"));
    // On a button that has the focus, Enter presses it.
    child("cmdAltas")->setFocus();
    QTest::keyClick(child("cmdAltas"), Qt::Key_Return);
    QTRY_COMPARE(m_folder->data().size(), 105);
}

void FrmPersonasTest::shortcutKeysRunTheirMenuItems()
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
    QTest::keyClick(m_window.get(), Qt::Key_A, Qt::AltModifier);
    auto *archivo = m_window->findChild<QMenu *>(QStringLiteral("gfh"));
    QTRY_VERIFY(archivo->isVisible());
    archivo->close();
}

void FrmPersonasTest::failedFileStepLeavesTheFileAndGoesOn_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("add") << "cmdAltas";
    QTest::newRow("delete") << "cmdBajas";
    QTest::newRow("modify") << "cmdModificar";
}

void FrmPersonasTest::failedFileStepLeavesTheFileAndGoesOn()
{
    QFETCH(QString, command);
    const QByteArray before = ContactFolder::records({kGomez, kAbril, kZapata});
    auto run = [&](FaultyFileSystem &fs, std::uint64_t failAt) {
        m_folder->setData(before);
        m_messages.clear();
        m_window = open(fs);
        select(1);
        m_window->Text1(1)->setText(QStringLiteral("Bea"));
        fs.reset();
        fs.failAt(failAt, std::errc::no_space_on_device);
        press(command.toLatin1().constData());
    };
    FaultyFileSystem clean;
    run(clean, 0);
    QVERIFY(m_messages.isEmpty());
    const QByteArray after = m_folder->data();
    QVERIFY(after != before);

    // Fail each file step of the command in turn, until the command gets through.
    for (std::uint64_t n = 1;; ++n) {
        FaultyFileSystem fs;
        run(fs, n);
        if (m_messages.isEmpty())
            break; // the command needed fewer than n steps
        const QString step = QStringLiteral("step %1: %2").arg(n).arg(m_messages.first());
        QVERIFY2(m_messages.first().startsWith(QStringLiteral("No se pudo")), qPrintable(step));
        QVERIFY2(m_messages.first().contains(QString::fromStdString(m_folder->path().string())), qPrintable(step));
        // Either the command did not happen, or it did and only the list load after it
        // failed: the same records as after, perhaps not yet in order.
        const QByteArray now = m_folder->data();
        QVERIFY2(now == before || sortedRecords(now) == sortedRecords(after), qPrintable(step));
        QCOMPARE(m_window->List1()->count(), static_cast<int>(now.size() / 105));
        if (now == before) // the fields still hold what the user typed, to try again
            QCOMPARE(m_window->Text1(1)->text(), QStringLiteral("Bea"));
        QVERIFY(n < 100);
    }
    QCOMPARE(m_folder->data(), after);
}

void FrmPersonasTest::unwritableFolderStillListsTheFile()
{
    m_folder->setData(ContactFolder::records({kZapata, kGomez}));
    // Every attempt to write the sorted copy fails.
    class NoTempFileSystem : public FaultyFileSystem {
    public:
        contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override
        {
            if (path.filename() == "personas.tmp")
                throw contacts::FileError(contacts::FileOp::Open, path,
                                          std::make_error_code(std::errc::read_only_file_system));
            return FaultyFileSystem::open(path, mode);
        }
    } fs;
    m_window = open(fs);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().contains(QStringLiteral("cargar la lista")));
    QVERIFY(m_messages.first().contains(QStringLiteral("personas.tmp")));
    QCOMPARE(listEntries(m_window->List1()), (QStringList{"Zapata", "Gómez"}));
    select(1);
    QCOMPARE(m_window->Text1(1)->text(), QStringLiteral("Ana"));
    QCOMPARE(m_folder->data(), ContactFolder::records({kZapata, kGomez}));
}

void FrmPersonasTest::readOnlyDataFileIsListedAndNeverReplaced_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("loadMessages");
    QTest::newRow("already in order: nothing to say") << ContactFolder::records({kGomez, kAbril}) << 0;
    QTest::newRow("out of order: cannot be sorted") << ContactFolder::records({kAbril, kGomez}) << 1;
}

void FrmPersonasTest::readOnlyDataFileIsListedAndNeverReplaced()
{
    QFETCH(QByteArray, file);
    QFETCH(int, loadMessages);
    m_folder->setData(file);
    // Refuses to open the data file for writing, as a read-only file does for a user.
    class ReadOnlyDataFileSystem : public FaultyFileSystem {
    public:
        contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override
        {
            if (path.filename() == "personas.dat" && mode != OpenMode::ReadOnly)
                throw contacts::FileError(contacts::FileOp::Open, path,
                                          std::make_error_code(std::errc::permission_denied));
            return FaultyFileSystem::open(path, mode);
        }
    } fs;
    m_window = open(fs);
    QCOMPARE(m_messages.size(), loadMessages);
    QCOMPARE(m_window->List1()->count(), 2);
    select(1);
    press("cmdBajas");
    QCOMPARE(m_messages.size(), loadMessages + 1);
    QVERIFY(m_messages.last().startsWith(QStringLiteral("No se pudo eliminar el contacto.")));
    QCOMPARE(m_folder->data(), file);
}

void FrmPersonasTest::deleteRefusesARecordChangedByAnotherCopy()
{
    m_folder->setData(ContactFolder::records({kGomez, kAbril, kZapata}));
    m_window = open();
    frmPersonas other(contacts::systemFileSystem(), m_folder->path(), m_recorder, m_program);
    select(1); // Abril, shown here
    other.List1()->setListIndex(0);
    QTest::mouseClick(other.findChild<QWidget *>(QStringLiteral("cmdBajas")), Qt::LeftButton);
    QCOMPARE(m_folder->data(), ContactFolder::records({kAbril, kZapata}));

    // Entry 1 of this window is now Zapata in the file: nothing may be removed.
    press("cmdBajas");
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_folder->data(), ContactFolder::records({kAbril, kZapata}));
    QCOMPARE(listEntries(m_window->List1()), (QStringList{"Abril", "Zapata"}));

    select(0);
    m_window->Text1(2)->setText(QStringLiteral("Nueva 1"));
    other.List1()->setListIndex(0);
    other.Text1(1)->setText(QStringLiteral("Zeta"));
    QTest::mouseClick(other.findChild<QWidget *>(QStringLiteral("cmdModificar")), Qt::LeftButton);
    press("cmdModificar");
    QCOMPARE(m_messages.size(), 2);
    Persona renamed = kAbril;
    renamed.Nombre = "Zeta";
    QCOMPARE(m_folder->data(), ContactFolder::records({kZapata, renamed}));
}

QTEST_MAIN(FrmPersonasTest)
#include "tst_frmpersonas.moc"
