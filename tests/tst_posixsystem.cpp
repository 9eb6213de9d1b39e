// The POSIX system layer against real files: finding a system-information program,
// the ordinary-file test, and the detached start.
#include "platform/PosixSystem.h"

#include <QtTest>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

// Creates "path:kind" entries below `root`: x executable file, r plain file, d folder.
void makeEntries(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString path = root + '/' + entry.section(':', 0, 0);
        const QString kind = entry.section(':', 1);
        QDir().mkpath(kind == "d" ? path : QFileInfo(path).path());
        if (kind == "d")
            continue;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        ::chmod(QFile::encodeName(path).constData(), kind == "x" ? 0755 : 0644);
    }
}

pid_t parentOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The parent's id follows the state, after the parenthesised command name.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

} // namespace

class tst_PosixSystem : public QObject {
    Q_OBJECT

private slots:
    void findProgram_data();
    void findProgram();
    void isOrdinaryFile_data();
    void isOrdinaryFile();
    void startFails_data();
    void startFails();
    void startDoesNotWait();
};

void tst_PosixSystem::findProgram_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("searchPath");  // folders below the temporary root
    QTest::addColumn<QString>("found");

    QTest::newRow("preferred program over folder order")
        << QStringList{"a/gnome-system-monitor:x", "b/hardinfo:x"} << "a:b" << "b/hardinfo";
    QTest::newRow("first folder for one program") << QStringList{"a/hardinfo:x", "b/hardinfo:x"} << "a:b"
                                                  << "a/hardinfo";
    QTest::newRow("file that cannot run passed over") << QStringList{"a/hardinfo:r", "b/hardinfo2:x"} << "a:b"
                                                      << "b/hardinfo2";
    QTest::newRow("folder of that name passed over") << QStringList{"a/hardinfo:d"} << "a" << "";
    QTest::newRow("empty entries and trailing slash") << QStringList{"a/kinfocenter:x"} << "::a/:" << "a/kinfocenter";
    QTest::newRow("none installed") << QStringList{"a/top:x"} << "a" << "";
}

void tst_PosixSystem::findProgram()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, searchPath);
    QFETCH(QString, found);
    QTemporaryDir root;
    makeEntries(root.path(), entries);
    QStringList folders = searchPath.split(':');
    for (QString &folder : folders)
        if (!folder.isEmpty())
            folder.prepend(root.path() + '/');

    const std::string result = posix::findProgram(posix::sysInfoPrograms(), folders.join(':').toStdString());

    QCOMPARE(QString::fromStdString(result), found.isEmpty() ? QString() : root.path() + '/' + found);
}

void tst_PosixSystem::isOrdinaryFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("ordinary");

    QTest::newRow("file") << "MSINFO32.EXE:r" << true;
    QTest::newRow("folder") << "MSINFO32.EXE:d" << false;
    QTest::newRow("missing") << "" << false;
    QTest::newRow("hidden file") << ".MSINFO32.EXE:r" << false;
}

void tst_PosixSystem::isOrdinaryFile()
{
    QFETCH(QString, entry);
    QFETCH(bool, ordinary);
    QTemporaryDir root;
    if (!entry.isEmpty())
        makeEntries(root.path(), {entry});
    const QString name = entry.isEmpty() ? QStringLiteral("MSINFO32.EXE") : entry.section(':', 0, 0);

    QCOMPARE(posix::PosixLauncher().isOrdinaryFile((root.path() + '/' + name).toStdString()), ordinary);
}

void tst_PosixSystem::startFails_data()
{
    QTest::addColumn<QString>("entry");  // "" for an empty path

    QTest::newRow("empty path") << "";
    QTest::newRow("missing") << "nothing:-";
    QTest::newRow("folder") << "info:d";
    QTest::newRow("file that cannot run") << "info:r";
}

void tst_PosixSystem::startFails()
{
    QFETCH(QString, entry);
    QTemporaryDir root;
    if (!entry.isEmpty() && entry.section(':', 1) != "-")
        makeEntries(root.path(), {entry});
    const std::string path = entry.isEmpty() ? std::string()
                                             : (root.path() + '/' + entry.section(':', 0, 0)).toStdString();

    QVERIFY_THROWS_EXCEPTION(std::system_error, posix::PosixLauncher().start(path, kNormalFocus));
}

// The started program runs on its own: start returns at once, and the program is not
// left a child of this process.
void tst_PosixSystem::startDoesNotWait()
{
    QTemporaryDir root;
    const QString pidFile = root.path() + "/pid";
    const QString program = root.path() + "/info";
    QFile file(program);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("#!/bin/sh\necho $$ > '%1.tmp'\nmv '%1.tmp' '%1'\nexec sleep 30\n").arg(pidFile).toLocal8Bit());
    file.close();
    ::chmod(QFile::encodeName(program).constData(), 0755);

    const auto before = std::chrono::steady_clock::now();
    posix::PosixLauncher().start(program.toStdString(), kNormalFocus);
    const auto took = std::chrono::steady_clock::now() - before;

    pid_t pid = 0;
    for (int i = 0; i < 500 && pid == 0; ++i) {
        QFile written(pidFile);
        if (written.open(QIODevice::ReadOnly))
            pid = static_cast<pid_t>(written.readAll().trimmed().toInt());
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    QVERIFY(pid > 0);
    const pid_t parent = parentOf(pid);
    const bool running = ::kill(pid, 0) == 0;
    ::kill(pid, SIGTERM);
    QVERIFY(took < std::chrono::seconds(10));  // the program itself runs for 30 s
    QVERIFY(running);
    QVERIFY(parent != ::getpid());
}

QTEST_APPLESS_MAIN(tst_PosixSystem)
#include "tst_posixsystem.moc"
