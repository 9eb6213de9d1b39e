// The About window: its version line, one instance loaded afresh after each close,
// its keys, and "System Info..." through an injected registry and launcher.
#include "Fonts.h"
#include "MessageBox.h"
#include "SysInfo.h"
#include "TableRegistry.h"
#include "frmAbout.h"

#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

#include <system_error>

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
        if (qobject_cast<frmAbout *>(window) && window->isVisible())
            ++count;
    return count;
}

// Records what lblVersion says when the About window is first shown.
class FirstShow : public QObject {
public:
    QString version;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<frmAbout *>(watched) && version.isNull())
            version = label(static_cast<QWidget *>(watched), "lblVersion")->text();
        return false;
    }
};

} // namespace

class tst_About : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void versionBeforeFirstShown();
    void fixedToolWindowAtItsPlace();
    void focusAndTabOrder();
    void labelsFit_data();
    void labelsFit();
    void oneInstance();
    void reloadsAfterClose();
    void closes_data();
    void closes();
    void launches_data();
    void launches();
    void failedLaunchShowsTheMessage();
    void hasNoOwner();

private:
    platform::TableRegistry *m_registry = nullptr;
    RecordingLauncher *m_launcher = nullptr;
    QStringList m_messages;
};

void tst_About::initTestCase()
{
    ui::installFonts();
}

void tst_About::init()
{
    m_registry = new platform::TableRegistry;
    m_registry->setString(platform::kHKeyLocalMachine, platform::kMsinfoKey, platform::kMsinfoPathValue, kProgram);
    m_launcher = new RecordingLauncher;
    frmAbout::setSysInfoBackend(m_registry, m_launcher);
    m_messages.clear();
    ui::MessageBox::setHandler([this](QWidget *, const QString &text) { m_messages.append(text); });
}

void tst_About::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->close();
    flushDeletes();
    frmAbout::setSysInfoBackend(nullptr, nullptr);
    ui::MessageBox::setHandler({});
    delete m_registry;
    delete m_launcher;
}

void tst_About::versionBeforeFirstShown()
{
    FirstShow firstShow;
    qApp->installEventFilter(&firstShow);
    frmAbout::showAbout();
    qApp->removeEventFilter(&firstShow);

    QCOMPARE(firstShow.version, QStringLiteral("Versión 1.3"));
    QCOMPARE(label(frmAbout::instance(), "lblVersion")->accessibleName(), QStringLiteral("Versión 1.3"));
}

void tst_About::fixedToolWindowAtItsPlace()
{
    frmAbout::showAbout();
    frmAbout *about = frmAbout::instance();

    QCOMPARE(about->geometry(), QRect(156, 126, 382, 237));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QCOMPARE(about->windowType(), Qt::Tool);
    QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(about->windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(about->windowTitle(), QStringLiteral("Acerca del autor"));
    QCOMPARE(about->windowIcon().availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
}

void tst_About::focusAndTabOrder()
{
    frmAbout::showAbout();
    frmAbout *about = frmAbout::instance();
    QVERIFY(QTest::qWaitForWindowActive(about));
    QPushButton *ok = button(about, "cmdOK");
    QPushButton *sysInfo = button(about, "cmdSysInfo");

    QCOMPARE(QApplication::focusWidget(), ok);
    QVERIFY(ok->isDefault());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), sysInfo);
    QVERIFY(sysInfo->isDefault() && !ok->isDefault());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ok);
    QVERIFY(ok->isDefault() && !sysInfo->isDefault());
}

void tst_About::labelsFit_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"lblDescription", "lblTitle", "lblVersion", "lblDisclaimer"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Each label's wrapped text shows whole within its rectangle.
void tst_About::labelsFit()
{
    QFETCH(QString, name);
    frmAbout::showAbout();
    const QLabel *shown = frmAbout::instance()->findChild<QLabel *>(name);

    const QRect needed = shown->fontMetrics().boundingRect(QRect(0, 0, shown->width(), 10000),
                                                          Qt::AlignLeft | Qt::TextWordWrap, shown->text());
    QVERIFY2(needed.height() <= shown->height(),
             qPrintable(QStringLiteral("%1 needs %2 px").arg(shown->text()).arg(needed.height())));
    QCOMPARE(shown->accessibleName(), shown->text());
}

void tst_About::oneInstance()
{
    frmAbout::showAbout();
    QPointer<frmAbout> first = frmAbout::instance();
    label(first, "lblVersion")->setText(QStringLiteral("not loaded again"));

    frmAbout::showAbout();

    QCOMPARE(frmAbout::instance(), first.data());
    QCOMPARE(aboutWindows(), 1);
    QCOMPARE(label(first, "lblVersion")->text(), QStringLiteral("not loaded again"));
}

void tst_About::reloadsAfterClose()
{
    frmAbout::showAbout();
    QPointer<frmAbout> first = frmAbout::instance();
    label(first, "lblVersion")->setText(QStringLiteral("changed"));
    button(first, "cmdOK")->click();

    // Asked for again before the closed window is deleted.
    frmAbout::showAbout();
    flushDeletes();

    QVERIFY(first.isNull());
    QVERIFY(frmAbout::instance() && frmAbout::instance()->isVisible());
    QCOMPARE(label(frmAbout::instance(), "lblVersion")->text(), QStringLiteral("Versión 1.3"));
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
    frmAbout::showAbout();
    QPointer<frmAbout> about = frmAbout::instance();
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
    QVERIFY(frmAbout::instance() == nullptr);
    QVERIFY(m_launcher->started.empty());
    QVERIFY(m_messages.isEmpty());
}

void tst_About::launches_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"clicked", "Alt+S", "Enter on System Info"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void tst_About::launches()
{
    QFETCH(QString, how);
    frmAbout::showAbout();
    frmAbout *about = frmAbout::instance();
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
    QTRY_COMPARE(m_launcher->started.size(), std::size_t(1));
    QCOMPARE(m_launcher->started.front(), std::string(kProgram));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(frmAbout::instance(), about);
    QVERIFY(about->isVisible());
}

void tst_About::failedLaunchShowsTheMessage()
{
    platform::TableRegistry empty;
    frmAbout::setSysInfoBackend(&empty, m_launcher);
    frmAbout::showAbout();
    frmAbout *about = frmAbout::instance();

    button(about, "cmdSysInfo")->click();
    button(about, "cmdSysInfo")->click();

    QCOMPARE(m_messages, (QStringList{platform::kSysInfoUnavailable, platform::kSysInfoUnavailable}));
    QVERIFY(m_launcher->started.empty());
    QCOMPARE(frmAbout::instance(), about);
    QVERIFY(about->isVisible());
    QCOMPARE(label(about, "lblVersion")->text(), QStringLiteral("Versión 1.3"));
}

// Shown from an active main window, the About window is still nobody's: it stays
// when that window closes.
void tst_About::hasNoOwner()
{
    auto *main = new QWidget;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));

    frmAbout::showAbout();
    QPointer<frmAbout> about = frmAbout::instance();
    QCOMPARE(about->parentWidget(), nullptr);
    QCOMPARE(about->windowHandle()->transientParent(), nullptr);
    main->close();
    flushDeletes();

    QVERIFY(about && about->isVisible());
}

QTEST_MAIN(tst_About)
#include "tst_about.moc"
