// The contact file on disk: counting, reading, appending, the sort and the rewrites.
#include "contacts/ContactFile.h"
#include "tests/ExchangeSortOracle.h"
#include "tests/FaultyFileSystem.h"
#include "tests/RecordFiles.h"

#include <QtTest>

#include <random>
#include <sys/stat.h>
#include <thread>

using namespace contacts;
namespace fs = std::filesystem;

class TestContactFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void counts_data();
    void counts();
    void appendsAfterOddLengths_data();
    void appendsAfterOddLengths();
    void reads_data();
    void reads();
    void sortsAsExchangeSort_data();
    void sortsAsExchangeSort();
    void fileInOrderIsNotWritten();
    void missingFileIsCreatedEmpty();
    void loadsMoreThan32767Records();
    void removesAndModifies_data();
    void removesAndModifies();
    void refusesFolderAsDataFile();
    void lockHoldsOffOtherCommands();

private:
    fs::path dat() const { return m_folder / kDataFileName; }
    // Left by an interrupted rewrite; none of it may reach the data file.
    void writeStaleTemp() const { writeBytes(m_folder / kTempFileName, std::string(1000, 'X')); }
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_folder;
};

// n records with serial surnames R0, R1, ... and the given names cycling through `names`.
static std::string numbered(int n, const QStringList &names = {"Ana"})
{
    std::string file;
    for (int i = 0; i < n; ++i)
        file += recordBytes("R" + std::to_string(i), names[i % names.size()].toStdString());
    return file;
}

// The records as read: counted, the partial last one completed with spaces.
static std::string asRead(std::string file)
{
    file.resize(std::size_t(recordCount(file.size())) * kRecordSize, ' ');
    return file;
}

void TestContactFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->path().toStdString();
}

void TestContactFile::counts_data()
{
    QTest::addColumn<qulonglong>("length");
    QTest::addColumn<qlonglong>("count");
    QTest::addColumn<qlonglong>("appendAt");
    QTest::newRow("empty") << 0ull << 0ll << 1ll;
    QTest::newRow("52 bytes") << 52ull << 0ll << 1ll;
    QTest::newRow("53 bytes") << 53ull << 1ll << 2ll;
    QTest::newRow("one record") << 105ull << 1ll << 2ll;
    QTest::newRow("157") << 157ull << 1ll << 2ll;
    QTest::newRow("158") << 158ull << 2ll << 3ll;
    QTest::newRow("32,767 records") << 105ull * 32767 << 32767ll << 32768ll;
    QTest::newRow("ten billion records") << 105ull * 10'000'000'000 + 60 << 10'000'000'001ll << 10'000'000'002ll;
}

void TestContactFile::counts()
{
    QFETCH(qulonglong, length);
    QFETCH(qlonglong, count);
    QFETCH(qlonglong, appendAt);
    QCOMPARE(recordCount(length), count);
    QCOMPARE(appendPosition(length), appendAt);
}

void TestContactFile::appendsAfterOddLengths_data()
{
    QTest::addColumn<int>("oldLength");
    QTest::addColumn<int>("newIndex");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("one record") << 105 << 1;
    QTest::newRow("uncounted tail is replaced") << 157 << 1;
    QTest::newRow("counted partial record is kept") << 158 << 2;
}

void TestContactFile::appendsAfterOddLengths()
{
    QFETCH(int, oldLength);
    QFETCH(int, newIndex);
    const std::string old = numbered(2).substr(0, oldLength);
    writeBytes(dat(), old);
    ContactFile file(systemFileSystem(), m_folder);
    const auto before = file.read(1);
    const Persona added = persona("Nuevo", "Bea");
    file.append(added);

    const std::string now = readBytes(dat());
    QCOMPARE(now.size(), std::size_t(newIndex + 1) * kRecordSize);
    QCOMPARE(file.read(newIndex), encode(added));
    // What was counted before reads as it did; nothing shifted.
    QCOMPARE(now.substr(0, std::size_t(newIndex) * kRecordSize), asRead(old));
    if (newIndex > 1)
        QCOMPARE(file.read(1), before);
}

void TestContactFile::reads_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<qlonglong>("index");
    QTest::addColumn<int>("present");  // bytes of the record in the file; -1: none
    QTest::newRow("first") << 210 << 0ll << 105;
    QTest::newRow("last whole") << 210 << 1ll << 105;
    QTest::newRow("past the end") << 210 << 2ll << -1;
    QTest::newRow("partial, counted") << 158 << 1ll << 53;
    QTest::newRow("partial, not counted") << 157 << 1ll << -1;
    QTest::newRow("negative") << 210 << -1ll << -1;
    QTest::newRow("huge") << 210 << std::numeric_limits<qlonglong>::max() << -1;
    QTest::newRow("no file") << -1 << 0ll << -1;
}

void TestContactFile::reads()
{
    QFETCH(int, length);
    QFETCH(qlonglong, index);
    QFETCH(int, present);
    const std::string file = numbered(2, {"Ana", "Luis"});
    if (length >= 0)
        writeBytes(dat(), file.substr(0, length));
    const auto record = ContactFile(systemFileSystem(), m_folder).read(index);
    QCOMPARE(record.has_value(), present >= 0);
    if (record) {
        const std::string expected = file.substr(std::size_t(index) * kRecordSize, present) + std::string(105 - present, ' ');
        QCOMPARE(std::string(record->data(), kRecordSize), expected);
    }
}

void TestContactFile::sortsAsExchangeSort_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("tail");  // bytes of a last, partial record
    QTest::newRow("capitals first") << QStringList{"Luis", "ana", "Ana"} << 0;
    QTest::newRow("space before letters") << QStringList{"Ana Mar\u00EDa", "Ana"} << 0;
    QTest::newRow("duplicates") << QStringList{"Luis", "Ana", "Luis", "Ana", "Bea", "Ana", "Luis"} << 0;
    QTest::newRow("partial record sorts") << QStringList{"Luis", "Bea", "Ana", "Zoe"} << 60;
    QTest::newRow("uncounted tail") << QStringList{"Luis", "Bea", "Ana", "Zoe"} << 40;
}

void TestContactFile::sortsAsExchangeSort()
{
    QFETCH(QStringList, names);
    QFETCH(int, tail);
    std::string old = numbered(int(names.size()), names);
    old += recordBytes("Parcial", "Ana").substr(0, tail);
    writeBytes(dat(), old);
    writeStaleTemp();
    const std::string expected = asRead(exchangeSortLiterally(old));

    const auto surnames = ContactFile(systemFileSystem(), m_folder).sortAndList();
    QCOMPARE(asRead(readBytes(dat())), expected);
    QCOMPARE(surnames.size(), std::size_t(recordCount(old.size())));
    for (std::size_t i = 0; i < surnames.size(); ++i)
        QCOMPARE(surnames[i], std::string(trimSpaces(decodeCp1252(expected.substr(i * kRecordSize, 25)))));
    QVERIFY(!fs::exists(m_folder / kTempFileName));
}

void TestContactFile::fileInOrderIsNotWritten()
{
    const std::string old = numbered(5, {"Ana", "Ana", "Bea", "Luis", "ana"});
    writeBytes(dat(), old);
    struct stat before {};
    QCOMPARE(::stat(dat().c_str(), &before), 0);
    FaultyFileSystem watched;
    const auto surnames = ContactFile(watched, m_folder).sortAndList();
    QCOMPARE(surnames.size(), std::size_t(5));
    QCOMPARE(surnames[4], std::string("R4"));
    for (FileOp op : watched.log())
        QVERIFY(op != FileOp::Write && op != FileOp::Rename && op != FileOp::Remove);
    struct stat after {};
    QCOMPARE(::stat(dat().c_str(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(readBytes(dat()), old);
}

void TestContactFile::missingFileIsCreatedEmpty()
{
    QVERIFY(ContactFile(systemFileSystem(), m_folder).sortAndList().empty());
    QVERIFY(fs::exists(dat()));
    QCOMPARE(fs::file_size(dat()), std::uintmax_t(0));
}

void TestContactFile::loadsMoreThan32767Records()
{
    constexpr int n = 40000;
    std::mt19937 random(7);
    const QStringList names{"Luis", "Ana", "Bea", "\u00C1lvaro", "Zoe", "ana"};
    std::string old;
    for (int i = 0; i < n; ++i)
        old += recordBytes("R" + std::to_string(i), names[int(random() % names.size())].toStdString());
    writeBytes(dat(), old);
    ContactFile file(systemFileSystem(), m_folder);
    QCOMPARE(file.sortAndList().size(), std::size_t(n));
    const std::string now = readBytes(dat());
    QCOMPARE(now.size(), old.size());
    for (int i = 1; i < n; ++i) {
        if (decodeCp1252(now.substr(i * 105 + 25, 20)) < decodeCp1252(now.substr((i - 1) * 105 + 25, 20)))
            QFAIL(qPrintable(QString("record %1 is out of order").arg(i)));
    }
    QVERIFY(file.read(n - 1).has_value());
    QVERIFY(!file.read(n).has_value());
}

void TestContactFile::removesAndModifies_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("length");  // of the file of R0, R1, R2; -1: no file
    QTest::addColumn<qlonglong>("index");
    QTest::addColumn<bool>("stale");  // the caller's copy differs from the file
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("expected");  // surnames in file order afterwards
    QTest::newRow("remove first of three") << "remove" << 315 << 0ll << false << true << QStringList{"R1", "R2"};
    QTest::newRow("remove last of three") << "remove" << 315 << 2ll << false << true << QStringList{"R0", "R1"};
    QTest::newRow("remove the only one") << "remove" << 105 << 0ll << false << true << QStringList{};
    QTest::newRow("remove partial record") << "remove" << 263 << 2ll << false << true << QStringList{"R0", "R1"};
    QTest::newRow("remove stale") << "remove" << 315 << 1ll << true << false << QStringList{"R0", "R1", "R2"};
    QTest::newRow("remove past the end") << "remove" << 315 << 3ll << false << false << QStringList{"R0", "R1", "R2"};
    QTest::newRow("modify middle") << "modify" << 315 << 1ll << false << true << QStringList{"R0", "R2", "Nuevo"};
    QTest::newRow("modify stale") << "modify" << 315 << 1ll << true << false << QStringList{"R0", "R1", "R2"};
    QTest::newRow("modify, no file") << "modify" << -1 << 0ll << false << false << QStringList{};
}

void TestContactFile::removesAndModifies()
{
    QFETCH(QString, command);
    QFETCH(int, length);
    QFETCH(qlonglong, index);
    QFETCH(bool, stale);
    QFETCH(bool, changed);
    QFETCH(QStringList, expected);
    const std::string old = numbered(3).substr(0, std::max(length, 0));
    if (length >= 0)
        writeBytes(dat(), old);
    writeStaleTemp();
    ContactFile file(systemFileSystem(), m_folder);
    Record shown = file.read(index).value_or(Record{});
    if (stale)
        shown[80] = '#';
    const bool done = command == "remove" ? file.remove(index, shown) : file.modify(index, shown, persona("Nuevo", "Zoe"));
    QCOMPARE(done, changed);
    if (!changed) {
        QCOMPARE(fs::exists(dat()), length >= 0);
        QCOMPARE(readBytes(dat()), old);
        return;
    }
    QStringList surnames;
    for (std::int64_t i = 0; auto record = file.read(i); ++i)
        surnames << QString::fromStdString(std::string(trimSpaces(decode(*record).Apellido)));
    QCOMPARE(surnames, expected);
    QCOMPARE(fs::file_size(dat()), std::uintmax_t(expected.size()) * kRecordSize);
    QVERIFY(!fs::exists(m_folder / kTempFileName));
}

void TestContactFile::refusesFolderAsDataFile()
{
    fs::create_directory(dat());
    ContactFile file(systemFileSystem(), m_folder);
    QVERIFY_THROWS_EXCEPTION(FileError, file.read(0));
    QVERIFY_THROWS_EXCEPTION(FileError, file.sortAndList());
}

void TestContactFile::lockHoldsOffOtherCommands()
{
    FileSystem &system = systemFileSystem();
    const FileHandle held = system.lock(m_folder / kLockFileName);
    std::thread other([this] { ContactFile(systemFileSystem(), m_folder).append(persona("Espera", "Ana")); });
    QTest::qSleep(200);
    const bool waited = !fs::exists(dat()) || fs::file_size(dat()) == 0;
    system.unlock(held);
    other.join();
    QVERIFY(waited);
    QCOMPARE(fs::file_size(dat()), std::uintmax_t(105));
}

QTEST_APPLESS_MAIN(TestContactFile)
#include "tst_contactfile.moc"
