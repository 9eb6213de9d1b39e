// Kills a real process at every file-system step of each command that writes, both
// right before and right after the step: the data file must always hold the old or
// the new contents, byte for byte, and the next run, in a fresh process, must work
// whatever the killed one left behind.
#include "contacts/ContactFile.h"
#include "tests/DriverProcess.h"
#include "tests/ExchangeSortOracle.h"
#include "tests/FaultyFileSystem.h"
#include "tests/RecordFiles.h"

#include <QtTest>

#include <cerrno>
#include <set>

using namespace contacts;
namespace fs = std::filesystem;

class TestCrashSafety : public QObject {
    Q_OBJECT
private slots:
    void killedAtAnyStepLeavesOldOrNew_data();
    void killedAtAnyStepLeavesOldOrNew();
    void cleanupTestCase();

private:
    QStringList m_summary;
};

namespace {

// Records with serial surnames R0, R1, ... and these given names.
std::string numbered(const QStringList &names)
{
    std::string file;
    for (int i = 0; i < names.size(); ++i)
        file += recordBytes("R" + std::to_string(i), names[i].toStdString());
    return file;
}

// The records as read: counted, a partial last one completed with spaces.
std::string asRead(std::string file)
{
    file.resize(std::size_t(recordCount(file.size())) * kRecordSize, ' ');
    return file;
}

std::string withoutRecord(const std::string &file, int index)
{
    std::string all = asRead(file);
    return all.erase(std::size_t(index) * kRecordSize, kRecordSize);
}

std::string renamed(const std::string &file, int index, const std::string &nombre)
{
    std::string record = asRead(file).substr(std::size_t(index) * kRecordSize, kRecordSize);
    Persona changed = decode(asRecord(record));
    changed.Nombre = nombre;
    const Record bytes = encode(changed);
    return withoutRecord(file, index) + std::string(bytes.data(), bytes.size());
}

QByteArray bytes(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

// What an interrupted rewrite may have left; none of it may reach the data file.
const std::string kStaleTemp = std::string(333, 'X');

} // namespace

void TestCrashSafety::killedAtAnyStepLeavesOldOrNew_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");   // what the command writes when it gets through
    QTest::addColumn<bool>("diskFull");      // its first write fails with ENOSPC, half landed

    const std::string four = numbered({"Luis", "Ana", "Bea", "Ana"});
    const std::string partial = four + recordBytes("Parcial", "Abel").substr(0, 60);
    const std::string three = numbered({"Ana", "Bea", "Luis"});
    const std::string added = recordBytes("Nuevo", "Zoe");
    const QStringList sort{"sort"};
    const QStringList append{"append", "Nuevo", "Zoe"};
    const QStringList remove{"remove", "1"};
    const QStringList modify{"modify", "1", "Abel"};

    for (const bool full : {false, true}) {
        const char *suffix = full ? ", disk full" : "";
        QTest::addRow("list load that reorders%s", suffix)
            << sort << bytes(four) << bytes(exchangeSortLiterally(four)) << full;
        QTest::addRow("list load, partial last record%s", suffix)
            << sort << bytes(partial) << bytes(asRead(exchangeSortLiterally(partial))) << full;
        QTest::addRow("add%s", suffix) << append << bytes(three) << bytes(three + added) << full;
        QTest::addRow("add after a partial record%s", suffix)
            << append << bytes(three.substr(0, 263)) << bytes(asRead(three.substr(0, 263)) + added) << full;
        QTest::addRow("add after an uncounted tail%s", suffix)
            << append << bytes(three.substr(0, 262)) << bytes(three.substr(0, 210) + added) << full;
        QTest::addRow("delete%s", suffix) << remove << bytes(four) << bytes(withoutRecord(four, 1)) << full;
        QTest::addRow("modify%s", suffix) << modify << bytes(four) << bytes(renamed(four, 1, "Abel")) << full;
    }
}

void TestCrashSafety::killedAtAnyStepLeavesOldOrNew()
{
    QFETCH(QStringList, command);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(bool, diskFull);
    const std::string old = before.toStdString();
    const std::string changed = after.toStdString();
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const fs::path dat = folder / kDataFileName;
    const fs::path tmp = folder / kTempFileName;
    const QStringList base = QStringList{dir.path()} + command;

    // One run straight through, to learn the steps of the command.
    writeBytes(dat, old);
    writeBytes(tmp, kStaleTemp);
    const DriverRun reference = runDriver(base);
    QVERIFY2(reference.finished && reference.exitCode == 0, qPrintable(reference.out));
    QCOMPARE(bytes(readBytes(dat)), after);
    const std::set<QString> taken(reference.steps.begin(), reference.steps.end());
    for (const FileOp op : {FileOp::Lock, FileOp::Open, FileOp::Read, FileOp::Write, FileOp::Flush, FileOp::Close,
                            FileOp::Rename})
        QVERIFY2(taken.count(QString::fromLatin1(contacts::name(op))), contacts::name(op));

    QStringList fault;
    DriverRun plan = reference;
    if (diskFull) {
        fault << "--fail-at" << QString::number(reference.steps.indexOf(contacts::name(FileOp::Write)) + 1)
              << QString::number(ENOSPC);
        writeBytes(dat, old);
        writeBytes(tmp, kStaleTemp);
        plan = runDriver(base + fault);
        QVERIFY2(plan.finished && plan.exitCode == 3, qPrintable(plan.out));
        QVERIFY(plan.out.contains(QStringLiteral("No space left on device")));
        QVERIFY(readBytes(dat) == old);
    }

    int stops = 0;
    for (const char *when : {"--kill-before", "--kill-after"}) {
        for (int n = 1;; ++n) {
            QVERIFY(n < 200);
            const QByteArray at = QByteArray(when) + ' ' + QByteArray::number(n);
            writeBytes(dat, old);
            writeBytes(tmp, kStaleTemp);
            const DriverRun killed = runDriver(base + fault + QStringList{when, QString::number(n)});
            if (killed.finished) {
                // The command took fewer than n steps and ran to its end.
                QVERIFY2(n == plan.steps.size() + 1, at);
                QCOMPARE(killed.exitCode, diskFull ? 3 : 0);
                QVERIFY2(readBytes(dat) == (diskFull ? old : changed), at);
                break;
            }
            ++stops;
            QVERIFY2(fs::exists(dat), at);
            const std::string left = readBytes(dat);
            const bool isNew = left == changed && !diskFull;
            QVERIFY2(left == old || isNew, at + " left a mixed file");
            for (const auto &entry : fs::directory_iterator(folder)) {
                const auto name = entry.path().filename();
                QVERIFY2(name == kDataFileName || name == kTempFileName || name == kLockFileName,
                         qPrintable(QString::fromStdString(name.string())));
            }

            // The next run, a fresh process, finds a working folder.
            const DriverRun next = runDriver(QStringList{dir.path()} + (isNew ? QStringList{"sort"} : command));
            QVERIFY2(next.finished && next.exitCode == 0, at + ": " + next.out.toUtf8());
            const std::string expected = isNew ? asRead(exchangeSortLiterally(changed)) : changed;
            QVERIFY2(readBytes(dat) == expected, at + ": the next run went wrong");
        }
    }
    QCOMPARE(stops, 2 * int(plan.steps.size()));
    m_summary << QStringLiteral("%1: %2 steps (%3), %4 stop points, all held")
                     .arg(QString::fromLatin1(QTest::currentDataTag()))
                     .arg(plan.steps.size())
                     .arg(plan.steps.join(QLatin1Char(' ')))
                     .arg(stops);
}

void TestCrashSafety::cleanupTestCase()
{
    for (const QString &line : m_summary)
        qInfo("%s", qPrintable(line));
}

QTEST_APPLESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
