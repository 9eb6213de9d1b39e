// When the program ends: not in the hand-over from the splash to the main window, not
// while the About window alone is open, but once the last window has closed; and at
// once on quitProgram().
#include "platform/System.h"
#include "platform/TableRegistry.h"
#include "tests/WindowFakes.h"
#include "ui/Lifetime.h"
#include "ui/frmAbout.h"
#include "ui/frmSplash.h"

#include <QtTest>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <memory>

using ui::frmSplash;

namespace {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget *newMainWindow()
{
    auto *window = new QWidget;
    window->setObjectName(QStringLiteral("main"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    return window;
}

void fireSplashTimer(frmSplash *splash)
{
    QMetaObject::invokeMethod(splash->findChild<QTimer *>(QStringLiteral("Timer1")), "timeout");
}

} // namespace

class tst_Lifetime : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void handOverKeepsProgramRunning_data();
    void handOverKeepsProgramRunning();
    void lastWindowClosedEndsProgram_data();
    void lastWindowClosedEndsProgram();
    void quitProgramClosesEverything();
    void eventLoopEndsWithLastWindow();

private:
    std::unique_ptr<ui::Lifetime> m_lifetime;
    int m_quits = 0;
    // An About window that finds no system-information program.
    platform::TableRegistry m_registry;
    std::unique_ptr<platform::Launcher> m_launcher = platform::makeSystemLauncher();
    QStringList m_messages;
    RecordingMessages m_recorder{m_messages};
    std::unique_ptr<ui::AboutWindow> m_about;
};

void tst_Lifetime::init()
{
    m_quits = 0;
    m_lifetime = std::make_unique<ui::Lifetime>([this] { ++m_quits; });
    m_about = std::make_unique<ui::AboutWindow>(m_registry, *m_launcher, m_recorder);
}

void tst_Lifetime::cleanup()
{
    m_lifetime.reset();
    for (QWidget *window : QApplication::topLevelWidgets())
        window->close();
    flushDeletes();
    m_about.reset();
}

void tst_Lifetime::handOverKeepsProgramRunning_data()
{
    QTest::addColumn<bool>("slowLoad");
    QTest::newRow("main window shown at once") << false;
    // Its load lets events run before it is shown, as a message box would.
    QTest::newRow("main window loads slowly") << true;
}

void tst_Lifetime::handOverKeepsProgramRunning()
{
    QFETCH(bool, slowLoad);
    QPointer<QWidget> main;
    auto *splash = new frmSplash(*m_lifetime, [&] {
        main = newMainWindow();
        if (slowLoad)
            QTest::qWait(20);
        main->show();
    });
    splash->show();

    fireSplashTimer(splash);
    QTest::qWait(20);

    QCOMPARE(m_quits, 0);
    QVERIFY(main && main->isVisible());
}

void tst_Lifetime::lastWindowClosedEndsProgram_data()
{
    QTest::addColumn<QStringList>("open");   // windows shown: main, about
    QTest::addColumn<QStringList>("close");  // closed in this order
    QTest::addColumn<int>("quits");

    QTest::newRow("main window alone") << QStringList{"main"} << QStringList{"main"} << 1;
    QTest::newRow("About first, then main") << QStringList{"main", "about"} << QStringList{"about", "main"} << 1;
    QTest::newRow("About closed, main open") << QStringList{"main", "about"} << QStringList{"about"} << 0;
    QTest::newRow("main closed, About open") << QStringList{"main", "about"} << QStringList{"main"} << 0;
}

void tst_Lifetime::lastWindowClosedEndsProgram()
{
    QFETCH(QStringList, open);
    QFETCH(QStringList, close);
    QFETCH(int, quits);
    QPointer<QWidget> main;
    for (const QString &name : open) {
        if (name == "main") {
            main = newMainWindow();
            main->show();
        } else {
            m_about->show();
        }
    }

    for (const QString &name : close) {
        QWidget *window = name == "main" ? main.data() : m_about->window();
        QVERIFY(window);
        window->close();
        QTest::qWait(20);
    }

    QCOMPARE(m_quits, quits);
}

void tst_Lifetime::quitProgramClosesEverything()
{
    QWidget *main = newMainWindow();
    main->show();
    m_about->show();

    m_lifetime->quitProgram();
    QTest::qWait(20);

    QCOMPARE(m_quits, 1);
    QVERIFY(!ui::Lifetime::anyWindowOpen());
    QVERIFY(m_about->window() == nullptr);
}

// The real event loop, from the splash to the last window: it returns only when the
// About window, open on its own, is closed too.
void tst_Lifetime::eventLoopEndsWithLastWindow()
{
    m_lifetime.reset();
    ui::Lifetime lifetime;
    QPointer<QWidget> main;
    QStringList steps;
    auto *splash = new frmSplash(lifetime, [&] {
        main = newMainWindow();
        main->show();
    });
    splash->show();

    QTimer::singleShot(0, [&] { fireSplashTimer(splash); });
    QTimer::singleShot(30, [&] {
        steps << "main" + QString(main && main->isVisible() ? " shown" : " missing");
        m_about->show();
        main->close();
    });
    QTimer::singleShot(80, [&] {
        steps << "About " + QString(m_about->window() && m_about->window()->isVisible() ? "open" : "gone");
        m_about->window()->close();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // the loop did not end

    const int result = QCoreApplication::exec();

    QCOMPARE(steps, (QStringList{"main shown", "About open"}));
    QCOMPARE(result, 0);
    QVERIFY(!ui::Lifetime::anyWindowOpen());
}

QTEST_MAIN(tst_Lifetime)
#include "tst_lifetime.moc"
