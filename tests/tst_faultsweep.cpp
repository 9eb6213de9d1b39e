// Makes each file call of a command fail in turn: the data file must always hold
// either the old or the new complete contents, and nothing may stay open or locked.
#include "contacts/ContactFile.h"
#include "tests/FaultyFileSystem.h"
#include "tests/RecordFiles.h"
#include "tests/SweepCommands.h"

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
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    long handles = 0;
    const SweepProbes probes{[&] { return lockIsFree(folder); }, [&] { handles = openHandles(); },
                             [&] { return openHandles() == handles; }};
    const std::string broken = sweepEveryCall(command.toStdString(), std::size_t(length), commit, folder, probes);
    QVERIFY2(broken.empty(), broken.c_str());
}

void TestFaultSweep::failsLikeARealDisk_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QByteArray>("left");  // the file afterwards; the handle is always closed
    QTest::newRow("write lands half") << int(FileOp::Write) << QByteArray("0123abcd89");
    QTest::newRow("flush does nothing") << int(FileOp::Flush) << QByteArray("0123456789");
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
        case FileOp::Flush: faulty.flush(file); break;
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
