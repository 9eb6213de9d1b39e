// Makes each file call of a command fail in turn: the data file must always hold
// either the old or the new complete contents, and nothing may stay open or locked.
#include "ContactFile.h"
#include "FaultyFileSystem.h"
#include "RecordFiles.h"
#include "SweepCommands.h"

#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace contacts;
namespace fs = std::filesystem;

class TestFaultSweep : public QObject {
    Q_OBJECT
private slots:
    void everyFailureLeavesOldOrNew_data();
    void everyFailureLeavesOldOrNew();
    void failsLikeARealDisk_data();
    void failsLikeARealDisk();
};

static bool lockIsFree(const fs::path &folder)
{
    const int handle = ::open((folder / kLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    const bool free = handle >= 0 && ::flock(handle, LOCK_EX | LOCK_NB) == 0;
    if (handle >= 0)
        ::close(handle);
    return free;
}

static long openHandles()
{
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

void TestFaultSweep::everyFailureLeavesOldOrNew_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("length");  // of the starting file
    QTest::addColumn<int>("commit");  // the call that puts the change in place; -1: none
    const QStringList names{"Luis", "Ana", "Bea", "Ana"};
    QTest::newRow("sort") << "sort" << 420 << int(FileOp::Rename);
    QTest::newRow("append") << "append" << 420 << int(FileOp::Rename);
    QTest::newRow("append after uncounted tail") << "append" << 367 << int(FileOp::Rename);
    QTest::newRow("append after partial record") << "append" << 368 << int(FileOp::Rename);
    QTest::newRow("remove") << "remove" << 420 << int(FileOp::Rename);
    QTest::newRow("modify") << "modify" << 420 << int(FileOp::Rename);
    QTest::newRow("remove stale") << "remove stale" << 420 << -1;
}

void TestFaultSweep::everyFailureLeavesOldOrNew()
{
    QFETCH(QString, command);
    QFETCH(int, length);
    QFETCH(int, commit);
    const std::string old = numbered({"Luis", "Ana", "Bea", "Ana"}).substr(0, length);
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const fs::path dat = folder / kDataFileName;
    const fs::path tmp = folder / kTempFileName;

    writeBytes(dat, old);
    const std::string result = runSweepCommand(command.toStdString(), systemFileSystem(), folder, old);
    const std::string changed = readBytes(dat);

    int failures = 0;
    for (std::uint64_t n = 1;; ++n) {
        QVERIFY2(n < 100, "the command never succeeds");
        writeBytes(dat, old);
        const long handles = openHandles();
        FaultyFileSystem faulty;
        faulty.failAt(n);
        bool failed = false;
        try {
            QVERIFY(runSweepCommand(command.toStdString(), faulty, folder, old) == result);
        } catch (const FileError &) {
            failed = true;
            ++failures;
        }
        const QByteArray at = QByteArray("call ") + QByteArray::number(qulonglong(n));
        QVERIFY2(lockIsFree(folder), at);
        QVERIFY2(openHandles() == handles, at);
        QVERIFY2(!fs::exists(tmp), at);
        const auto &log = faulty.log();
        if (!failed) {
            QVERIFY2(readBytes(dat) == changed, at);
            if (faulty.calls() < n)
                break; // no call was made to fail: the sweep is complete
            // A failure is kept from the user only once the change is in place: syncing
            // the folder after the rename, or letting go of the lock at the very end.
            const FileOp hit = log[n - 1];
            QVERIFY2(hit == FileOp::SyncFolder || (hit == FileOp::Lock && n == faulty.calls()), at);
            continue;
        }
        const bool committed = std::find(log.begin(), log.begin() + (n - 1), FileOp(commit)) != log.begin() + (n - 1);
        QVERIFY2(readBytes(dat) == (committed ? changed : old), at);
        if (!committed) {
            // The failure left nothing behind that stops the next try.
            QVERIFY(runSweepCommand(command.toStdString(), systemFileSystem(), folder, old) == result);
            QVERIFY2(readBytes(dat) == changed, at);
        }
    }
    QVERIFY(failures >= 5);
}

void TestFaultSweep::failsLikeARealDisk_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QByteArray>("left");  // the file afterwards; the handle is always closed
    QTest::newRow("write lands half") << int(FileOp::Write) << QByteArray("0123abcd89");
    QTest::newRow("truncate does nothing") << int(FileOp::Truncate) << QByteArray("0123456789");
    QTest::newRow("close still closes") << int(FileOp::Close) << QByteArray("0123456789");
}

// The sweep is only as good as its faults: check they behave as described.
void TestFaultSweep::failsLikeARealDisk()
{
    QFETCH(int, op);
    QFETCH(QByteArray, left);
    QTemporaryDir dir;
    const fs::path path = fs::path(dir.path().toStdString()) / "f";
    writeBytes(path, "0123456789");
    FaultyFileSystem faulty;
    const FileHandle file = faulty.open(path, FileSystem::OpenMode::ReadWrite);
    const long handles = openHandles();
    faulty.failAt(1, std::errc::no_space_on_device);
    try {
        switch (FileOp(op)) {
        case FileOp::Write: faulty.write(file, 4, "abcdefgh", 8); break;
        case FileOp::Truncate: faulty.truncate(file, 2); break;
        default: faulty.close(file); break;
        }
        QFAIL("the call did not fail");
    } catch (const FileError &error) {
        QCOMPARE(int(error.op()), op);
    }
    if (FileOp(op) != FileOp::Close)
        faulty.close(file);
    QCOMPARE(openHandles(), handles - 1);
    QCOMPARE(QByteArray::fromStdString(readBytes(path)), left);
    QCOMPARE(faulty.calls(), std::uint64_t(FileOp(op) == FileOp::Close ? 2 : 3));
}

QTEST_APPLESS_MAIN(TestFaultSweep)
#include "tst_faultsweep.moc"
