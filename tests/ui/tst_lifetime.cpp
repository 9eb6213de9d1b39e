// The program on Qt from the splash to the last window, in the real event loop: it
// returns only when the About window, open on its own, is closed too. (Which window
// ends the program is the program's rule, tested with the windows' behaviour.)
#include "platform/System.h"
#include "platform/TableRegistry.h"
#include "tests/support/WindowFakes.h"
#include "ui/QtProgram.h"

#include <QtTest>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <memory>

class tst_Lifetime : public QObject {
    Q_OBJECT

private slots:
    void eventLoopEndsWithLastWindow();
};

void tst_Lifetime::eventLoopEndsWithLastWindow()
{
    platform::TableRegistry registry;
    const std::unique_ptr<platform::Launcher> launcher = platform::makeSystemLauncher();
    QStringList texts;
    RecordingMessages messages(texts);
    StandInProgram program(registry, *launcher, messages, [] { QCoreApplication::exit(0); });
    QStringList steps;
    program.program().start();
    QWidget *splash = program.window(forms::Window::Splash);
    QVERIFY(splash);

    QTimer::singleShot(0, [&] {
        if (QWidget *open = program.window(forms::Window::Splash))
            QMetaObject::invokeMethod(open->findChild<QTimer *>(QStringLiteral("Timer1")), "timeout");
    });
    QTimer::singleShot(30, [&] {
        steps << "main" + QString(program.main && program.main->isVisible() ? " shown" : " missing");
        program.program().showAbout();
        program.main->close();
    });
    QTimer::singleShot(80, [&] {
        QWidget *about = program.window(forms::Window::About);
        steps << "About " + QString(about && about->isVisible() ? "open" : "gone");
        about->close();
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); }); // the loop did not end

    const int result = QCoreApplication::exec();

    QCOMPARE(steps, (QStringList{"main shown", "About open"}));
    QCOMPARE(result, 0);
    QVERIFY(program.window(forms::Window::About) == nullptr);
}

QTEST_MAIN(tst_Lifetime)
#include "tst_lifetime.moc"
