// Two copies of the program on one folder, as real processes: no update is lost,
// no command takes away another's contact, and a command waits for the other's
// lock rather than failing or interleaving.
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

// After each file call of a command, another process tries the folder's lock: it
// must find it taken from the first call (the lock) to the last (the unlock), closes
// and the rename included.
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
    QVERIFY(run.steps.contains(fileOpName(FileOp::Close)) && run.steps.contains(fileOpName(FileOp::Rename)));
    QCOMPARE(run.steps.first(), QString::fromLatin1(fileOpName(FileOp::Lock)));
    QCOMPARE(run.steps.last(), QString::fromLatin1(fileOpName(FileOp::Lock)));
    for (int i = 0; i + 1 < probes.size(); ++i)
        QVERIFY2(probes[i].endsWith(": lock held"), qPrintable(probes[i]));
    QVERIFY2(probes.last().endsWith(": lock free"), qPrintable(probes.last()));
}

void TestTwoCopies::commandWaitsForTheOtherCopy_data()
{
    lockIsHeldThroughEveryStep_data();
}

// While this process holds the lock, the other copy's command waits, touching
// nothing, and then does its whole work once.
void TestTwoCopies::commandWaitsForTheOtherCopy()
{
    QFETCH(QString, command);
    const fs::path dat = m_folder / kDataFileName;
    const std::string old = recordBytes("R0", "Luis") + recordBytes("R1", "Ana") + recordBytes("R2", "Bea");
    writeBytes(dat, old);
    const FileHandle held = systemFileSystem().lock(m_folder / kLockFileName);
    QProcess other;
    other.start(driverPath(), QStringList{m_dir->path()} + commandRow(command));
    QVERIFY(other.waitForStarted());
    const bool stillWaiting = !other.waitForFinished(500);
    const bool untouched = readBytes(dat) == old && !fs::exists(m_folder / kTempFileName);
    systemFileSystem().unlock(held);
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
}

QTEST_APPLESS_MAIN(TestTwoCopies)
#include "tst_twocopies.moc"
