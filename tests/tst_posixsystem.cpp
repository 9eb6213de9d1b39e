// The POSIX system layer against real files: finding a system-information program,
// the ordinary-file test, the detached start, and the user's contacts folder.
#include "platform/SystemFileSystem.h"
#include "platform/ContactsFolder.h"
#include "platform/PosixSystem.h"

#include "contacts/ContactFile.h"

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

// Every entry below `root` with its kind, mode and size.
QStringList tree(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st;
        ::lstat(QFile::encodeName(path).constData(), &st);
        found << QStringLiteral("%1 %2 %3").arg(path.mid(root.size())).arg(st.st_mode, 0, 8).arg(st.st_size);
    }
    found.sort();
    return found;
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
    void contactsInUserData_data();
    void contactsInUserData();
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

void tst_PosixSystem::contactsInUserData_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("xdgDataHome"); // "-": unset; {T} is the temporary root
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("readOnly");    // a folder the (unprivileged) user may not write
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("error");           // errno, 0 when the folder is ready

    const QString made = "{T}/home/.local/share/vorteda";
    QTest::newRow("first start: made, private") << QStringList{"home:d"} << "-" << "{T}/home" << "" << made << 0;
    QTest::newRow("existing folder and file kept")
        << QStringList{"home/.local/share/vorteda/personas.dat:r"} << "-" << "{T}/home" << "" << made << 0;
    QTest::newRow("XDG_DATA_HOME, missing parts made")
        << QStringList{"home:d"} << "{T}/datos/mios" << "{T}/home" << "" << "{T}/datos/mios/vorteda" << 0;
    QTest::newRow("relative XDG_DATA_HOME ignored")
        << QStringList{"home:d"} << "datos" << "{T}/home" << "" << made << 0;
    QTest::newRow("vorteda is a file") << QStringList{"home/.local/share/vorteda:r"} << "-" << "{T}/home" << ""
                                       << made << int(ENOTDIR);
    QTest::newRow("data folder not writable") << QStringList{"home/.local/share:d"} << "-" << "{T}/home"
                                              << "home/.local/share" << made << int(EACCES);
    QTest::newRow("home folder missing") << QStringList{} << "-" << "{T}/home" << "" << made << int(ENOENT);
    QTest::newRow("HOME unset") << QStringList{} << "" << "-" << "" << "~/.local/share/vorteda" << int(ENOENT);
}

// The installed build's folder; a folder that cannot be made fails every file call
// of the contacts naming it, and nothing that was there is touched.
void tst_PosixSystem::contactsInUserData()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, home);
    QFETCH(QString, readOnly);
    QFETCH(QString, folder);
    QFETCH(int, error);
    QTemporaryDir root;
    ::chmod(QFile::encodeName(root.path()).constData(), 0755); // for the unprivileged user
    makeEntries(root.path(), entries);
    if (!readOnly.isEmpty())
        ::chmod(QFile::encodeName(root.path() + '/' + readOnly).constData(), 0555);
    const QString before = QDir::currentPath();
    const QByteArray savedHome = qgetenv("HOME"), savedData = qgetenv("XDG_DATA_HOME");
    const auto setOrUnset = [&](const char *name, const QString &value) {
        if (value == "-")
            qunsetenv(name);
        else
            qputenv(name, QString(value).replace("{T}", root.path()).toLocal8Bit());
    };
    setOrUnset("HOME", home);
    setOrUnset("XDG_DATA_HOME", xdgDataHome);
    QDir::setCurrent(root.path()); // where a relative XDG_DATA_HOME would land
    const QStringList treeBefore = tree(root.path());
    // Root writes through permissions: ask as nobody.
    const bool dropped = !readOnly.isEmpty() && ::geteuid() == 0 && ::seteuid(65534) == 0;
    const platform::ContactsFolder result = platform::inUserData();
    if (dropped)
        QVERIFY(::seteuid(0) == 0);
    QDir::setCurrent(before);
    qputenv("HOME", savedHome);
    savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);

    QCOMPARE(QString::fromStdString(result.path.string()), QString(folder).replace("{T}", root.path()));
    QCOMPARE(result.error.value(), error);
    const QStringList treeAfter = tree(root.path());
    platform::ContactsFileSystem files(platform::systemFileSystem(), result);
    contacts::ContactFile file(files, result.path);
    if (error != 0) {
        QCOMPARE(treeAfter, treeBefore);
        try {
            file.sortAndList();
            QFAIL("the contacts were reached in a folder that could not be made");
        } catch (const contacts::FileError &failure) {
            QCOMPARE(int(failure.op()), int(contacts::FileOp::CreateFolder));
            QCOMPARE(failure.path(), result.path);
            QCOMPARE(failure.code(), result.error);
        }
        QCOMPARE(tree(root.path()), treeBefore);
        return;
    }
    // What was there stays as it was; each folder made is private to the user.
    for (const QString &entry : treeBefore)
        QVERIFY2(treeAfter.contains(entry), qPrintable(entry));
    for (const QString &entry : treeAfter)
        if (!treeBefore.contains(entry))
            QVERIFY2(entry.contains(QStringLiteral(" 40700 ")), qPrintable(entry));
    QVERIFY(file.sortAndList().empty());
    QVERIFY(QFileInfo(QString::fromStdString((result.path / "personas.dat").string())).isFile());
}

QTEST_APPLESS_MAIN(tst_PosixSystem)
#include "tst_posixsystem.moc"
