// The POSIX system layer: finding a system-information program, the file test, and
// the detached start, against real files in a temporary folder.
#include "PosixSystem.h"
#include "SysInfo.h"

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

// Creates `entries` below `root`: "folder/name" followed by ":x" (executable file),
// ":r" (plain file), ":d" (folder) or ":l" (symbolic link to the folder `root`).
void makeEntries(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString path = root + '/' + entry.section(':', 0, 0);
        const QString kind = entry.section(':', 1);
        QDir().mkpath(QFileInfo(path).path());
        if (kind == "d") {
            QDir().mkpath(path);
        } else if (kind == "l") {
            QFile::link(root, path);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            ::chmod(QFile::encodeName(path).constData(), kind == "x" ? 0755 : 0644);
        }
    }
}

// A program that writes its process id to `pidFile` and then waits a while.
QString makeWaitingProgram(const QString &folder, const QString &name, const QString &pidFile)
{
    const QString path = folder + '/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QStringLiteral("#!/bin/sh\necho $$ > '%1.tmp'\nmv '%1.tmp' '%1'\nexec sleep 30\n")
                   .arg(pidFile)
                   .toLocal8Bit());
    file.close();
    ::chmod(QFile::encodeName(path).constData(), 0755);
    return path;
}

// The process id the program wrote, once it has; 0 if it never does.
pid_t waitForPid(const QString &pidFile)
{
    for (int i = 0; i < 500; ++i) {
        QFile file(pidFile);
        if (file.open(QIODevice::ReadOnly))
            return static_cast<pid_t>(file.readAll().trimmed().toInt());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

pid_t parentOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The parent's id is the second field after the parenthesised command name.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(line.substr(close + 2));
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
    void buttonStartsTheProgramFound();
    void nothingInstalledShowsTheMessage();
};

void tst_PosixSystem::findProgram_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("searchPath");  // folders below the temporary root
    QTest::addColumn<QString>("found");

    QTest::newRow("preferred program wins over folder order")
        << QStringList{"a/gnome-system-monitor:x", "b/hardinfo:x"} << "a:b" << "b/hardinfo";
    QTest::newRow("first folder wins for one program")
        << QStringList{"a/hardinfo:x", "b/hardinfo:x"} << "a:b" << "a/hardinfo";
    QTest::newRow("file that cannot run is passed over")
        << QStringList{"a/hardinfo:r", "b/hardinfo2:x"} << "a:b" << "b/hardinfo2";
    QTest::newRow("folder of that name is passed over") << QStringList{"a/hardinfo:d"} << "a" << "";
    QTest::newRow("empty entries are skipped") << QStringList{"a/kinfocenter:x"} << "::a:" << "a/kinfocenter";
    QTest::newRow("folder with a trailing slash") << QStringList{"a/hardinfo:x"} << "a/" << "a/hardinfo";
    QTest::newRow("none installed") << QStringList{"a/top:x"} << "a" << "";
}

void tst_PosixSystem::findProgram()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, searchPath);
    QFETCH(QString, found);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    makeEntries(root.path(), entries);
    QStringList folders = searchPath.split(':');
    for (QString &folder : folders)
        if (!folder.isEmpty())
            folder = root.path() + '/' + folder;

    const std::string result = posix::findProgram(posix::sysInfoPrograms(), folders.join(':').toStdString());

    QCOMPARE(QString::fromStdString(result), found.isEmpty() ? QString() : root.path() + '/' + found);
}

void tst_PosixSystem::isOrdinaryFile_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ordinary");

    QTest::newRow("file") << QStringList{"MSINFO32.EXE:r"} << "MSINFO32.EXE" << true;
    QTest::newRow("folder") << QStringList{"MSINFO32.EXE:d"} << "MSINFO32.EXE" << false;
    QTest::newRow("missing") << QStringList{} << "MSINFO32.EXE" << false;
    QTest::newRow("hidden file") << QStringList{".MSINFO32.EXE:r"} << ".MSINFO32.EXE" << false;
    QTest::newRow("link to a folder") << QStringList{"MSINFO32.EXE:l"} << "MSINFO32.EXE" << false;
    QTest::newRow("folder with a trailing slash") << QStringList{"f:d"} << "f/" << false;
}

void tst_PosixSystem::isOrdinaryFile()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, path);
    QFETCH(bool, ordinary);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    makeEntries(root.path(), entries);
    posix::PosixLauncher launcher;

    QCOMPARE(launcher.isOrdinaryFile((root.path() + '/' + path).toStdString()), ordinary);
}

void tst_PosixSystem::startFails_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("path");  // below the temporary root; "-" for an empty path

    QTest::newRow("empty path") << QStringList{} << "-";
    QTest::newRow("missing") << QStringList{} << "nothing";
    QTest::newRow("folder") << QStringList{"info:d"} << "info";
    QTest::newRow("file that cannot run") << QStringList{"info:r"} << "info";
}

void tst_PosixSystem::startFails()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, path);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    makeEntries(root.path(), entries);
    const std::string commandLine = path == "-" ? std::string() : (root.path() + '/' + path).toStdString();
    posix::PosixLauncher launcher;

    QVERIFY_THROWS_EXCEPTION(std::system_error, launcher.start(commandLine, kNormalFocus));
}

void tst_PosixSystem::startDoesNotWait()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString pidFile = root.path() + "/pid";
    const QString program = makeWaitingProgram(root.path(), "info", pidFile);
    posix::PosixLauncher launcher;

    const auto before = std::chrono::steady_clock::now();
    launcher.start(program.toStdString(), kNormalFocus);
    const auto took = std::chrono::steady_clock::now() - before;

    const pid_t pid = waitForPid(pidFile);
    QVERIFY(pid > 0);
    const pid_t parent = parentOf(pid);
    const bool running = ::kill(pid, 0) == 0;
    ::kill(pid, SIGTERM);
    QVERIFY(took < std::chrono::seconds(10));  // the program itself runs for 30 s
    QVERIFY(running);
    QVERIFY2(parent != ::getpid(), "the started program is a child of ours");
}

void tst_PosixSystem::buttonStartsTheProgramFound()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString pidFile = root.path() + "/pid";
    QDir().mkpath(root.path() + "/bin");
    const QString program = makeWaitingProgram(root.path() + "/bin", "hardinfo", pidFile);
    TableRegistry registry;
    posix::fillRegistry(registry, (root.path() + "/bin").toStdString());
    posix::PosixLauncher launcher;
    std::vector<std::string> messages;

    StartSysInfo(registry, launcher, [&](const std::string &text) { messages.push_back(text); });

    const pid_t pid = waitForPid(pidFile);
    if (pid > 0)
        ::kill(pid, SIGTERM);
    QVERIFY(messages.empty());
    QVERIFY(pid > 0);
}

void tst_PosixSystem::nothingInstalledShowsTheMessage()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    makeEntries(root.path(), {"bin/ls:x"});
    TableRegistry registry;
    posix::fillRegistry(registry, (root.path() + "/bin").toStdString());
    posix::PosixLauncher launcher;
    std::vector<std::string> messages;

    StartSysInfo(registry, launcher, [&](const std::string &text) { messages.push_back(text); });

    QCOMPARE(messages, std::vector<std::string>{kSysInfoUnavailable});
    std::string value = "x";
    QVERIFY(!GetKeyValue(registry, kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, value));
    QVERIFY(!GetKeyValue(registry, kHKeyLocalMachine, kMsinfoLocationKey, kMsinfoLocationValue, value));
}

QTEST_APPLESS_MAIN(tst_PosixSystem)
#include "tst_posixsystem.moc"
