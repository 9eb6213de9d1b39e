// The splash window: its version line and layout, and the hand-over to the main
// window by timer or by a character key, exactly once.
#include "platform/System.h"
#include "platform/SystemFileSystem.h"
#include "platform/TableRegistry.h"
#include "tests/support/WindowFakes.h"
#include "ui/Fonts.h"
#include "tests/support/VersionTexts.h"
#include "ui/QtProgram.h"
#include "ui/SplashWidget.h"
#include "ui/Twips.h"

#include <QtTest>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace {

// The splash with a stand-in main window.
struct Start {
    platform::TableRegistry registry;
    std::unique_ptr<platform::Launcher> launcher = platform::makeSystemLauncher();
    QStringList texts;
    RecordingMessages messages{texts};
    StandInProgram program{registry, *launcher, messages};
    int &handOvers = program.handOvers;
    QPointer<QLineEdit> &main = program.main;
    QPointer<ui::SplashWidget> splash;

    Start()
    {
        program.program().start();
        splash = qobject_cast<ui::SplashWidget *>(program.window(forms::Window::Splash));
    }

    QTimer *timer() const { return splash ? splash->findChild<QTimer *>(QStringLiteral("Timer1")) : nullptr; }
    void fireTimer() const
    {
        if (QTimer *t = timer())
            QMetaObject::invokeMethod(t, "timeout");
    }
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_Splash : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void versionLine();
    void fonts_data();
    void fonts();
    void handOver_data();
    void handOver();
    void noHandOver_data();
    void noHandOver();
    void handOverHappensOnce_data();
    void handOverHappensOnce();
    void endingKeyIsNotPassedOn_data();
    void endingKeyIsNotPassedOn();
    void timerEndsSplashAfterItsTime();
};

void tst_Splash::initTestCase()
{
    ui::installFonts();
}

// The version line, grown to the left on load, ends where the platform line ends.
void tst_Splash::versionLine()
{
    Start start;
    const auto *version = start.splash->findChild<QLabel *>(QStringLiteral("lblVersion"));
    const auto *platform = start.splash->findChild<QLabel *>(QStringLiteral("lblPlatform"));

    QCOMPARE(version->text(), QString::fromStdString("Version " + testversion::full()));
    QCOMPARE(version->geometry().right(), forms::twipsToPixels(6855) - 1);
    QCOMPARE(platform->geometry().right(), version->geometry().right());

    // A dialog's raised two-pixel border around the 492 x 283 client area, whose
    // controls keep their places within it.
    QCOMPARE(start.splash->size(), QSize(492 + 4, 283 + 4));
    QCOMPARE(start.splash->findChild<QWidget *>(QStringLiteral("Frame1"))->pos(), QPoint(8 + 2, 4 + 2));
    const QImage drawn = start.splash->grab().toImage();
    const QPalette &palette = start.splash->palette();
    QCOMPARE(drawn.pixel(0, 0), palette.color(QPalette::Light).rgb());
    QCOMPARE(drawn.pixel(drawn.width() - 1, drawn.height() - 1), palette.color(QPalette::Shadow).rgb());
    QCOMPARE(drawn.pixel(2, 2), qRgb(255, 128, 0));
}

void tst_Splash::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");    // installed font file that provides the face
    QTest::addColumn<QString>("family");  // family that must answer

    QTest::newRow("Arial") << "lblCopyright" << "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
                           << "Liberation Sans";
    QTest::newRow("Verdana") << "lblProductName" << "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                             << "DejaVu Sans";
    QTest::newRow("Tahoma default") << "" << "/usr/share/wine/fonts/tahoma.ttf" << "Tahoma";
}

// The faces asked for by name find the installed stand-ins, not some other fallback.
void tst_Splash::fonts()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(QString, family);
    if (!QFile::exists(file))
        QSKIP("font not installed");
    Start start;
    const QFont font = name.isEmpty() ? QApplication::font() : start.splash->findChild<QLabel *>(name)->font();

    QCOMPARE(QFontInfo(font).family(), family);
    if (name.isEmpty())
        QCOMPARE(QFontInfo(font).pixelSize(), 11);
}

void tst_Splash::handOver_data()
{
    QTest::addColumn<int>("key");  // 0: the timer fires
    QTest::addColumn<QString>("text");

    QTest::newRow("timer") << 0 << QString();
    QTest::newRow("letter") << int(Qt::Key_A) << "a";
    QTest::newRow("digit") << int(Qt::Key_7) << "7";
    QTest::newRow("space") << int(Qt::Key_Space) << " ";
    QTest::newRow("Enter") << int(Qt::Key_Return) << "\r";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << "\x1b";
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "\b";
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << "\x03";
}

void tst_Splash::handOver()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    Start start;
    QPointer<QTimer> timer = start.timer();
    QVERIFY(timer && timer->isActive());

    if (key == 0) {
        start.fireTimer();
    } else {
        const auto modifiers = text == "\x03" ? Qt::ControlModifier : Qt::NoModifier;
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(start.splash, &press);
        QVERIFY(press.isAccepted());
    }

    QCOMPARE(start.handOvers, 1);
    QVERIFY(start.main && start.main->isVisible());
    QVERIFY(start.splash.isNull() || !start.splash->isVisible());
    flushDeletes();
    QVERIFY(start.splash.isNull());
    QVERIFY(timer.isNull());
}

void tst_Splash::noHandOver_data()
{
    QTest::addColumn<int>("key");  // 0: a mouse click
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("clicked");  // the control clicked; empty: the window

    for (const auto &[name, key] : {std::pair{"F1", Qt::Key_F1}, {"F4", Qt::Key_F4}, {"Left", Qt::Key_Left},
                                    {"Down", Qt::Key_Down}, {"Shift", Qt::Key_Shift}, {"Ctrl", Qt::Key_Control},
                                    {"Alt", Qt::Key_Alt}, {"Delete", Qt::Key_Delete}})
        QTest::newRow(name) << int(key) << 0 << QString();
    QTest::newRow("Alt+A") << int(Qt::Key_A) << int(Qt::AltModifier) << QString();
    QTest::newRow("click") << 0 << 0 << QString();
    QTest::newRow("click on a label") << 0 << 0 << "lblProductName";
}

void tst_Splash::noHandOver()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, clicked);
    Start start;

    if (key != 0)
        QTest::keyClick(start.splash, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    else
        QTest::mouseClick(clicked.isEmpty() ? start.splash.data() : start.splash->findChild<QWidget *>(clicked),
                          Qt::LeftButton);
    flushDeletes();

    QCOMPARE(start.handOvers, 0);
    QVERIFY(start.splash && start.splash->isVisible());
    QVERIFY(start.timer()->isActive());
}

void tst_Splash::handOverHappensOnce_data()
{
    QTest::addColumn<QString>("events");  // k: a key press, t: the timer fires
    QTest::newRow("two quick keys") << "kk";
    QTest::newRow("key as the timer fires") << "kt";
    QTest::newRow("timer, then a key") << "tk";
    QTest::newRow("timer twice") << "tt";
}

void tst_Splash::handOverHappensOnce()
{
    QFETCH(QString, events);
    Start start;
    QPointer<ui::SplashWidget> splash = start.splash;
    QTimer *timer = start.timer();

    // Both events arrive before the closed splash is deleted.
    for (const QChar event : events) {
        if (event == 'k') {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QApplication::sendEvent(splash, &press);
        } else {
            QMetaObject::invokeMethod(timer, "timeout");
        }
    }
    flushDeletes();

    QCOMPARE(start.handOvers, 1);
}

void tst_Splash::endingKeyIsNotPassedOn_data()
{
    QTest::addColumn<QString>("after");  // what the user does next
    QTest::addColumn<QString>("shown");  // what the main window's field then holds

    QTest::newRow("held down") << "repeat repeat release b" << "b";
    QTest::newRow("released") << "release b" << "b";
    QTest::newRow("next key while still held") << "c repeat" << "ca";
    // A busy machine: Qt has not yet seen the press behind each repeat's release, so
    // neither is marked as a repeat; they arrive apart but carry the X server's one time.
    QTest::newRow("held on a busy machine")
        << "release@700 busy press@700 release@740 busy press@740 release@900 b" << "b";
    QTest::newRow("let go, then pressed again") << "release@700 press@1200" << "a";
}

void tst_Splash::endingKeyIsNotPassedOn()
{
    QFETCH(QString, after);
    QFETCH(QString, shown);
    Start start;

    QTest::keyPress(start.splash, Qt::Key_A);
    QVERIFY(start.main);
    QCOMPARE(start.main->text(), QString());
    for (const QString &step : after.split(' ')) {
        if (step == "repeat") {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), true);
            QApplication::sendEvent(start.main, &repeat);
        } else if (step == "release") {
            QTest::keyRelease(start.main, Qt::Key_A);
        } else if (step == "busy") {
            QTest::qWait(50);
        } else if (step.contains(QLatin1Char('@'))) {
            // Unmarked, with the window system's time; a press comes as Qt delivers
            // it, the shortcut check first.
            const bool press = step.startsWith(QStringLiteral("press"));
            const quint64 time = step.section(QLatin1Char('@'), 1).toULongLong();
            for (const QEvent::Type type : press ? QList{QEvent::ShortcutOverride, QEvent::KeyPress}
                                                 : QList{QEvent::KeyRelease}) {
                QKeyEvent event(type, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
                event.setTimestamp(time);
                QApplication::sendEvent(start.main, &event);
            }
        } else {
            QTest::keyClick(start.main, step.at(0).toLatin1());
        }
    }

    QCOMPARE(start.main->text(), shown);
}

void tst_Splash::timerEndsSplashAfterItsTime()
{
    QElapsedTimer clock;
    clock.start();
    Start start;

    QTRY_COMPARE_WITH_TIMEOUT(start.handOvers, 1, 5000);
    QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(tst_Splash)
#include "tst_splash.moc"
