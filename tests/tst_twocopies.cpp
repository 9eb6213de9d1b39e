// Two copies of the program on one folder, as real processes: no update is lost,
// no command takes away another's contact, and a command waits for the other's
// lock rather than failing or interleaving, also when each reaches the data file
// through a link of its own.
#include "platform/SystemFileSystem.h"
#include "contacts/ContactFile.h"
#include "tests/DriverProcess.h"
#include "tests/FaultyFileSystem.h"
#include "tests/RecordFiles.h"

#include <QtTest>

#include <set>

using namespace contacts;
namespace fs = std::filesystem;

class TestTwoCopies : public QObject {
    Q_OBJECT
private slots:
    void init();
    void concurrentCommandsLoseNothing();
    void lockIsHeldThroughEveryStep_data();
    void lockIsHeldThroughEveryStep();
    void commandWaitsForTheOtherCopy_data();
    void commandWaitsForTheOtherCopy();
    void linkToNoDataFileChangesNothing_data();
    void linkToNoDataFileChangesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_folder;
};

namespace {

const std::string kStart = recordBytes("Inicial-0", "Luis") + recordBytes("Inicial-1", "Ana")
                           + recordBytes("Inicial-2", "Bea");

std::multiset<std::string> surnamesIn(const fs::path &dat)
{
    const std::string file = readBytes(dat);
    std::multiset<std::string> surnames;
    for (std::size_t at = 0; at + kRecordSize <= file.size(); at += kRecordSize)
        surnames.insert(std::string(trimSpaces(std::string_view(file).substr(at, kFieldWidths[0]))));
    return surnames;
}

QStringList commandRow(const QString &command)
{
    if (command == "sort")
        return {"sort"};
    if (command == "add")
        return {"append", "Nuevo", "Zoe"};
    if (command == "delete")
        return {"remove", "1"};
    return {"modify", "1", "Abel"};
}

} // namespace

void TestTwoCopies::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->path().toStdString();
}

void TestTwoCopies::concurrentCommandsLoseNothing()
{
    const fs::path dat = m_folder / kDataFileName;
    writeBytes(dat, kStart);
    constexpr int kRounds = 60;
    QList<QProcess *> copies;
    for (const char *id : {"A", "B", "C"}) {
        auto *process = new QProcess(this);
        process->start(driverPath(), {m_dir->path(), "hammer", id, QString::number(kRounds)});
        copies << process;
    }
    std::multiset<std::string> expected;
    for (std::size_t at = 0; at < kStart.size(); at += kRecordSize)
        expected.insert(std::string(trimSpaces(std::string_view(kStart).substr(at, 25))));
    int owned = 0;
    for (QProcess *process : copies) {
        QVERIFY(process->waitForFinished(120000));
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        QVERIFY2(process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0,
                 qPrintable(out + process->readAllStandardError()));
        QVERIFY(out.endsWith("ok\n"));
        for (const QString &line : out.split('\n')) {
            if (line.startsWith("own ")) {
                expected.insert(line.mid(4).toStdString());
                ++owned;
            }
        }
        delete process;
    }
    // Each copy keeps 60 adds less 12 deletes; a third of them were renamed.
    QCOMPARE(owned, 3 * (kRounds - kRounds / 5));
    QVERIFY(surnamesIn(dat) == expected);
    // The contacts nobody touched are still there byte for byte.
    const std::string now = readBytes(dat);
    for (std::size_t at = 0; at < kStart.size(); at += kRecordSize)
        QVERIFY(now.find(kStart.substr(at, kRecordSize)) != std::string::npos);
}

void TestTwoCopies::lockIsHeldThroughEveryStep_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command : {"sort", "add", "delete", "modify"})
        QTest::newRow(command) << QString::fromLatin1(command);
}

// After each file call of a command, another process tries the folder's lock. The
// order: the data file's link is followed first, then the lock is taken, and it is
// held from there through the first read, the rename and the folder sync that
// makes the rename durable, up to the unlock, which is the last call.
void TestTwoCopies::lockIsHeldThroughEveryStep()
{
    QFETCH(QString, command);
    writeBytes(m_folder / kDataFileName, recordBytes("R0", "Luis") + recordBytes("R1", "Ana") + recordBytes("R2", "Bea"));
    const DriverRun run = runDriver(QStringList{m_dir->path()} + commandRow(command) + QStringList{"--probe-lock"});
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.out));
    QStringList probes;
    for (const QString &line : run.out.split('\n')) {
        if (line.startsWith("after "))
            probes << line;
    }
    QCOMPARE(probes.size(), run.steps.size());
    const int locked = int(run.steps.indexOf(contacts::name(FileOp::Lock)));
    const int firstRead = int(run.steps.indexOf(contacts::name(FileOp::Read)));
    const int renamed = int(run.steps.indexOf(contacts::name(FileOp::Rename)));
    const int synced = int(run.steps.indexOf(contacts::name(FileOp::SyncFolder)));
    const int unlocked = int(run.steps.size()) - 1;
    QVERIFY2(locked >= 0 && locked < firstRead && firstRead < renamed && renamed < synced && synced < unlocked,
             qPrintable(run.steps.join(' ')));
    QCOMPARE(run.steps.last(), QString::fromLatin1(contacts::name(FileOp::Lock)));
    for (int i = 0; i < probes.size(); ++i) {
        const bool held = i >= locked && i < unlocked;
        QVERIFY2(probes[i].endsWith(held ? ": lock held" : ": lock free"), qPrintable(probes[i]));
    }
}

void TestTwoCopies::commandWaitsForTheOtherCopy_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<bool>("heldOn");  // the lock kept until the other copy gives up
    for (const char *command : {"sort", "add", "delete", "modify"}) {
        QTest::addRow("%s", command) << QString::fromLatin1(command) << false << false;
        QTest::addRow("%s, each copy through its own link to the file", command) << QString::fromLatin1(command)
                                                                                 << true << false;
        QTest::addRow("%s, held on by this process: fails, file untouched", command)
            << QString::fromLatin1(command) << false << true;
    }
}

// While this process holds the lock, the other copy's command waits, touching
// nothing, and then does its whole work once. Linked: the data file is elsewhere,
// and this process holds the lock beside it, as a copy working through another link
// to it does; the command changes that file and leaves its own link a link. Held
// on: after waiting contacts::kLockWait the command fails with the lock error,
// having changed nothing.
void TestTwoCopies::commandWaitsForTheOtherCopy()
{
    QFETCH(QString, command);
    QFETCH(bool, linked);
    QFETCH(bool, heldOn);
    const fs::path programFolder = linked ? m_folder / "programa" : m_folder;
    const fs::path dataFolder = linked ? m_folder / "copia" : m_folder;
    const fs::path dat = dataFolder / kDataFileName;
    if (linked) {
        fs::create_directory(programFolder);
        fs::create_directory(dataFolder);
        fs::create_symlink("../copia/personas.dat", programFolder / kDataFileName);
    }
    const std::string old = recordBytes("R0", "Luis") + recordBytes("R1", "Ana") + recordBytes("R2", "Bea");
    writeBytes(dat, old);
    const FileHandle held = platform::systemFileSystem().lock(dataFolder / kLockFileName);
    QProcess other;
    other.start(driverPath(), QStringList{QString::fromStdString(programFolder.string())} + commandRow(command));
    QVERIFY(other.waitForStarted());
    if (heldOn) {
        QElapsedTimer waited;
        waited.start();
        QVERIFY(other.waitForFinished(30000));
        const qint64 elapsed = waited.elapsed();
        platform::systemFileSystem().unlock(held);
        const QString out = QString::fromUtf8(other.readAllStandardOutput());
        QCOMPARE(other.exitCode(), 3);
        QVERIFY2(out.startsWith("error: lock") && out.contains(QString::fromStdString(
                     std::make_error_code(std::errc::timed_out).message())), qPrintable(out));
        // It waited its time (measured from its start here, so at most a little less).
        QVERIFY2(elapsed >= contacts::kLockWait.count() - 100, qPrintable(QString::number(elapsed)));
        QVERIFY(readBytes(dat) == old);
        QVERIFY(!fs::exists(m_folder / kTempFileName));
        return;
    }
    const bool stillWaiting = !other.waitForFinished(500);
    const bool untouched = readBytes(dat) == old && !fs::exists(m_folder / kTempFileName);
    platform::systemFileSystem().unlock(held);
    QVERIFY(stillWaiting);
    QVERIFY(other.waitForFinished(30000));
    QVERIFY(untouched);
    QCOMPARE(other.exitCode(), 0);
    QVERIFY(other.readAllStandardOutput().startsWith("ok\n"));
    const std::string now = readBytes(dat);
    QVERIFY(now != old);
    // The command ran once, on the file as it was.
    const std::size_t records = now.size() / kRecordSize;
    QCOMPARE(records, std::size_t(command == "add" ? 4 : command == "delete" ? 2 : 3));
    if (linked) {
        QVERIFY(fs::is_symlink(programFolder / kDataFileName));
        QCOMPARE(fs::read_symlink(programFolder / kDataFileName), fs::path("../copia/personas.dat"));
        QCOMPARE(std::distance(fs::directory_iterator(programFolder), fs::directory_iterator()), 1);
    }
}

void TestTwoCopies::linkToNoDataFileChangesNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target");     // where personas.dat leads
    QTest::addColumn<QString>("reason");     // in the message
    // With the link leading nowhere the list is empty: there is nothing to delete.
    for (const char *command : {"sort", "add"})
        QTest::addRow("%s, link to nothing", command)
            << QString::fromLatin1(command) << "copia/personas.dat"
            << QString::fromStdString(std::make_error_code(std::errc::no_such_file_or_directory).message());
    QTest::newRow("sort, link to itself")
            << QStringLiteral("sort") << "personas.dat"
            << QString::fromStdString(std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
    // The rewrite would delete the file it copies.
    for (const char *command : {"sort", "add", "delete", "modify"})
        QTest::addRow("%s, link to personas.tmp", command)
            << QString::fromLatin1(command) << "personas.tmp"
            << QString::fromStdString(std::make_error_code(std::errc::invalid_argument).message());
}

// A data file that is a link the command cannot use is reported as the data file
// that cannot be opened, and nothing is created, replaced or locked.
void TestTwoCopies::linkToNoDataFileChangesNothing()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const fs::path link = m_folder / kDataFileName;
    const std::string contents = recordBytes("R0", "Luis") + recordBytes("R1", "Ana");
    if (target == "personas.tmp")
        writeBytes(m_folder / kTempFileName, contents);
    // The folder a dangling link names exists: opening the link to create the file
    // would make one there.
    fs::create_directory(m_folder / "copia");
    fs::create_symlink(target.toStdString(), link);
    const DriverRun run = runDriver(QStringList{m_dir->path()} + commandRow(command));
    QVERIFY2(run.finished && run.exitCode == 3, qPrintable(run.out));
    QVERIFY2(run.out.contains(QString::fromStdString(link.string())) && run.out.contains(reason), qPrintable(run.out));
    QCOMPARE(fs::read_symlink(link), fs::path(target.toStdString()));
    QVERIFY(fs::is_empty(m_folder / "copia"));
    QVERIFY(!fs::exists(m_folder / kLockFileName));
    if (target == "personas.tmp")
        QVERIFY(readBytes(m_folder / kTempFileName) == contents);
}

QTEST_APPLESS_MAIN(TestTwoCopies)
#include "tst_twocopies.moc"
