// The About window: its version line, one instance loaded afresh after each close,
// its keys, and "System Info..." through an injected registry and launcher.
#include "ui/Fonts.h"
#include "tests/support/VersionTexts.h"
#include "platform/SysInfo.h"
#include "platform/TableRegistry.h"
#include "tests/support/WindowFakes.h"
#include "ui/AboutWidget.h"

#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

#include <memory>
#include <system_error>

using ui::AboutWidget;

namespace {

constexpr char kProgram[] = "/opt/sysinfo/info";

class RecordingLauncher : public platform::Launcher {
public:
    std::vector<std::string> started;
    bool isOrdinaryFile(const std::string &) override { return false; }
    void start(const std::string &commandLine, int) override
    {
        if (commandLine != kProgram)
            throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory), commandLine);
        started.push_back(commandLine);
    }
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QLabel *label(QWidget *window, const char *name)
{
    return window->findChild<QLabel *>(QString::fromLatin1(name));
}

QPushButton *button(QWidget *window, const char *name)
{
    return window->findChild<QPushButton *>(QString::fromLatin1(name));
}

int aboutWindows()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (qobject_cast<AboutWidget *>(window) && window->isVisible())
            ++count;
    return count;
}

// Records what lblVersion says when the About window is first shown.
class FirstShow : public QObject {
public:
    QString version;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<AboutWidget *>(watched) && version.isNull())
            version = label(static_cast<QWidget *>(watched), "lblVersion")->text();
        return false;
    }
};

// The program's one About window, as "Acerca..." shows it.
class AboutWindow {
public:
    AboutWindow(platform::Registry &registry, platform::Launcher &launcher, ui::Messages &messages)
        : m_program(registry, launcher, messages)
    {
        // "Acerca..." is chosen in the main window, which stays open meanwhile.
        m_program.program().windowOpened(forms::Window::Personas);
    }
    void show() { m_program.program().showAbout(); }
    AboutWidget *window() const { return qobject_cast<AboutWidget *>(m_program.window(forms::Window::About)); }

private:
    StandInProgram m_program;
};

} // namespace

class tst_About : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void versionBeforeFirstShown();
    void fixedPlace();
    void focusAndTabOrder();
    void oneInstance();
    void reloadsAfterClose();
    void closes_data();
    void closes();
    void launches_data();
    void launches();
    void messageGivesTheFocusBack();

private:
    std::unique_ptr<platform::TableRegistry> m_registry;
    std::unique_ptr<RecordingLauncher> m_launcher;
    QStringList m_messages;
    RecordingMessages m_recorder{m_messages};
    std::unique_ptr<AboutWindow> m_about;
};

void tst_About::initTestCase()
{
    ui::installFonts();
}

void tst_About::init()
{
    m_registry = std::make_unique<platform::TableRegistry>();
    m_registry->setString(platform::kHKeyLocalMachine, platform::kMsinfoKey, platform::kMsinfoPathValue, kProgram);
    m_launcher = std::make_unique<RecordingLauncher>();
    m_about = std::make_unique<AboutWindow>(*m_registry, *m_launcher, m_recorder);
    m_messages.clear();
}

void tst_About::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->close();
    flushDeletes();
    m_about.reset();
}

void tst_About::versionBeforeFirstShown()
{
    FirstShow firstShow;
    qApp->installEventFilter(&firstShow);
    m_about->show();
    qApp->removeEventFilter(&firstShow);

    QCOMPARE(firstShow.version, QString::fromStdString("Versión " + testversion::majorMinor()));
    QCOMPARE(label(m_about->window(), "lblVersion")->accessibleName(), QString::fromStdString("Versión " + testversion::majorMinor()));
    // Beside it, the maker and product, and the thank-you ending with the maker's address.
    QCOMPARE(label(m_about->window(), "lblTitle")->text(),
             QString::fromStdString(std::string(version::kCompanyName) + " " + version::kProductName));
    QCOMPARE(label(m_about->window(), "lblDescription")->text(),
             QStringLiteral("Muchas gracias por usar este programa. Para más información, ayuda, trucos y más visite ")
                 + QString::fromUtf8(version::kWebAddress));
}

void tst_About::fixedPlace()
{
    m_about->show();
    AboutWidget *about = m_about->window();

    // The client area, not the frame, is at the fixed place.
    QCOMPARE(about->geometry(), QRect(156, 126, 382, 237));
    QCOMPARE(about->minimumSize(), about->maximumSize());
}

void tst_About::focusAndTabOrder()
{
    m_about->show();
    AboutWidget *about = m_about->window();
    QVERIFY(QTest::qWaitForWindowActive(about));
    QPushButton *ok = button(about, "cmdOK");
    QPushButton *sysInfo = button(about, "cmdSysInfo");

    // Labels take no focus: Tab goes between the two buttons only.
    QCOMPARE(QApplication::focusWidget(), ok);
    QTest::keyClick(ok, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), sysInfo);
    QTest::keyClick(sysInfo, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ok);
}

void tst_About::oneInstance()
{
    m_about->show();
    QPointer<AboutWidget> first = m_about->window();
    label(first, "lblVersion")->setText(QStringLiteral("not loaded again"));

    m_about->show();

    QCOMPARE(m_about->window(), first.data());
    QCOMPARE(aboutWindows(), 1);
    QCOMPARE(label(first, "lblVersion")->text(), QStringLiteral("not loaded again"));
}

void tst_About::reloadsAfterClose()
{
    m_about->show();
    QPointer<AboutWidget> first = m_about->window();
    label(first, "lblVersion")->setText(QStringLiteral("changed"));
    button(first, "cmdOK")->click();

    // Asked for again before the closed window is deleted.
    m_about->show();
    flushDeletes();

    QVERIFY(first.isNull());
    QVERIFY(m_about->window() && m_about->window()->isVisible());
    QCOMPARE(label(m_about->window(), "lblVersion")->text(), QString::fromStdString("Versión " + testversion::majorMinor()));
    QCOMPARE(aboutWindows(), 1);
}

void tst_About::closes_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"OK clicked", "Esc on OK", "Esc on System Info", "Enter on OK", "close button"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void tst_About::closes()
{
    QFETCH(QString, how);
    m_about->show();
    QPointer<AboutWidget> about = m_about->window();
    QVERIFY(QTest::qWaitForWindowActive(about));
    QPushButton *ok = button(about, "cmdOK");
    QPushButton *sysInfo = button(about, "cmdSysInfo");

    if (how == "OK clicked") {
        QTest::mouseClick(ok, Qt::LeftButton);
    } else if (how == "Esc on OK") {
        QTest::keyClick(ok, Qt::Key_Escape);
    } else if (how == "Esc on System Info") {
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Escape);
    } else if (how == "Enter on OK") {
        QTest::keyClick(ok, Qt::Key_Return);
    } else {
        about->windowHandle()->close();
    }
    flushDeletes();

    QVERIFY(about.isNull());
    QVERIFY(m_about->window() == nullptr);
    QVERIFY(m_launcher->started.empty());
    QVERIFY(m_messages.isEmpty());
}

void tst_About::launches_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("registered");  // whether the registry names the program

    QTest::newRow("clicked") << "clicked" << true;
    QTest::newRow("Alt+S") << "Alt+S" << true;
    QTest::newRow("Enter on System Info") << "Enter" << true;
    QTest::newRow("nothing registered") << "clicked" << false;
}

// The launch starts the program or shows the one message; the window stays as it was.
void tst_About::launches()
{
    QFETCH(QString, how);
    QFETCH(bool, registered);
    platform::TableRegistry empty;
    if (!registered)
        m_about = std::make_unique<AboutWindow>(empty, *m_launcher, m_recorder);
    m_about->show();
    AboutWidget *about = m_about->window();
    QVERIFY(QTest::qWaitForWindowActive(about));
    QPushButton *sysInfo = button(about, "cmdSysInfo");

    if (how == "clicked") {
        QTest::mouseClick(sysInfo, Qt::LeftButton);
    } else if (how == "Alt+S") {
        QTest::keyClick(button(about, "cmdOK"), Qt::Key_S, Qt::AltModifier);
    } else {
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Return);
    }

    // A button pressed by its access key clicks a moment later, as it is drawn pressed.
    QTRY_COMPARE(m_launcher->started.size() + m_messages.size(), std::size_t(1));
    if (registered)
        QCOMPARE(m_launcher->started.front(), std::string(kProgram));
    else
        QCOMPARE(m_messages, QStringList{platform::kSysInfoUnavailable});
    QCOMPARE(m_about->window(), about);
    QVERIFY(about->isVisible());
    QCOMPARE(label(about, "lblVersion")->text(), QString::fromStdString("Versión " + testversion::majorMinor()));
}

// A window manager that passes over tool windows (openbox) gives the focus to the
// main window when the message closes; it comes back to the About window, which
// the message belongs to, so that the next Esc closes it.
void tst_About::messageGivesTheFocusBack()
{
    QWidget main;
    main.setObjectName(QStringLiteral("main"));
    main.show();
    // What the window manager does as the message goes.
    class FocusElsewhere : public ui::Messages {
    public:
        explicit FocusElsewhere(QWidget &other) : m_other(other) {}
        void show(QWidget *owner, const std::string &) override
        {
            owners << owner;
            m_other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&m_other));
        }
        QList<QWidget *> owners;

    private:
        QWidget &m_other;
    } messages(main);
    platform::TableRegistry empty;
    m_about = std::make_unique<AboutWindow>(empty, *m_launcher, messages);
    m_about->show();
    QPointer<AboutWidget> about = m_about->window();
    QVERIFY(QTest::qWaitForWindowActive(about));

    QTest::mouseClick(button(about, "cmdSysInfo"), Qt::LeftButton);

    QCOMPARE(messages.owners, QList<QWidget *>{about.data()});
    QVERIFY(QTest::qWaitForWindowActive(about));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    flushDeletes();
    QVERIFY(about.isNull());
}

QTEST_MAIN(tst_About)
#include "tst_about.moc"
