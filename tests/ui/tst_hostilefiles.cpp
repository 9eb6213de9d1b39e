// A data file of any bytes and any length: the core and the window must read it,
// sort it and go on working, and a file too large to hold is refused with a message,
// never a crash.
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "tests/support/SwapSortOracle.h"
#include "ui/ListBox.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFakes.h"
#include "contacts/Sort.h"
#include "platform/SystemFileSystem.h"
#include "ui/PersonasWidget.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <random>

#include <unistd.h>

using namespace contacts;
namespace fs = std::filesystem;

class TestHostileFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void anyBytesAnyLength_data();
    void anyBytesAnyLength();
    void tooLargeIsRefused_data();
    void tooLargeIsRefused();

private:
    std::unique_ptr<testfiles::TempFolder> m_dir;
    fs::path m_folder;
    fs::path m_dat;
    QStringList m_messages;
    RecordingMessages m_recorder{m_messages};
    ScriptedDialogs m_dialogs;
    int m_aboutCalls = 0;
    int m_quitCalls = 0;
    CountingProgram m_program{m_aboutCalls, m_quitCalls};
};

namespace {

std::vector<std::string> recordsOf(const std::string &file)
{
    std::vector<std::string> records;
    for (std::size_t at = 0; at + kRecordSize <= file.size(); at += kRecordSize)
        records.push_back(file.substr(at, kRecordSize));
    return records;
}

std::string surnameOf(const std::string &record)
{
    return decodeCp1252(trimSpaces(std::string_view(record).substr(0, kFieldWidths[0])));
}

} // namespace

void TestHostileFiles::init()
{
    m_dir = std::make_unique<testfiles::TempFolder>();
    m_folder = m_dir->path();
    m_dat = m_folder / kDataFileName;
    m_messages.clear();
}

void TestHostileFiles::cleanup()
{
    m_dir.reset();
}

void TestHostileFiles::anyBytesAnyLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("content");
    for (int length : {0, 1, 52, 53, 104, 105, 106, 157, 158, 211, 3150, 100'003})
        QTest::addRow("%d random bytes", length) << length << "random";
    QTest::newRow("10 MB of random bytes") << 10'000'019 << "random";
    QTest::newRow("zero bytes") << 1000 << "zero";
    QTest::newRow("0xFF bytes") << 1000 << "ff";
    QTest::newRow("undefined code page bytes") << 1050 << "undefined";
    QTest::newRow("spaces") << 1050 << "spaces";
}

void TestHostileFiles::anyBytesAnyLength()
{
    QFETCH(int, length);
    QFETCH(QString, content);
    std::string old(std::size_t(length), ' ');
    std::mt19937 random{std::uint32_t(length)};
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (content == "random")
            old[i] = char(random());
        else if (content == "zero")
            old[i] = '\0';
        else if (content == "ff")
            old[i] = char(0xFF);
        else if (content == "undefined") // the five bytes Windows-1252 leaves undefined
            old[i] = char("\x81\x8D\x8F\x90\x9D"[random() % 5]);
    }
    writeBytes(m_dat, old);
    const std::vector<std::string> before = recordsOf(countedRecords(old));

    // The core: the list load sorts into a permutation of the records it counted.
    ContactFile file(platform::systemFileSystem(), m_folder);
    const std::vector<std::string> surnames = file.sortAndList();
    const std::string sorted = countedRecords(readBytes(m_dat));
    const std::vector<std::string> after = recordsOf(sorted);
    QCOMPARE(sorted.size(), before.size() * kRecordSize);
    QCOMPARE(surnames.size(), after.size());
    std::vector<std::string> a = after, b = before;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    QVERIFY(a == b);
    for (std::size_t i = 0; i < after.size(); ++i) {
        QCOMPARE(surnames[i], surnameOf(after[i]));
        if (i > 0)
            QVERIFY(!nombreLess(after[i].data() + kNombreOffset, after[i - 1].data() + kNombreOffset));
    }
    if (before.size() <= 400)
        QVERIFY(sorted == countedRecords(swapSortLiterally(old)));
    QCOMPARE(file.list(), surnames);
    // Every record reads back; one past the end is absent.
    for (std::size_t i : {std::size_t(0), after.size() / 2, after.size() - 1}) {
        if (i < after.size())
            QCOMPARE(std::string(file.read(std::int64_t(i))->data(), kRecordSize), after[i]);
    }
    QVERIFY(!file.read(std::int64_t(after.size())).has_value());
    // And each record's text survives a decode and encode unchanged.
    for (std::size_t i = 0; i < std::min<std::size_t>(after.size(), 2000); ++i) {
        const Record record = asRecord(after[i]);
        QVERIFY(encode(decode(record)) == record);
    }

    // The window, on the same bytes: no message, every record listed, and it works.
    writeBytes(m_dat, old);
    {
        ui::PersonasWidget window(platform::systemFileSystem(), m_folder, m_recorder, m_dialogs, m_program.fresh());
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
        QCOMPARE(std::size_t(window.List1()->count()), before.size());
        if (!before.empty()) {
            const int last = window.List1()->count() - 1;
            window.List1()->setListIndex(last);
            QCOMPARE(window.Text1(0)->text(), window.List1()->text(last));
            QTest::mouseClick(window.findChild<QWidget *>("cmdBajas"), Qt::LeftButton);
            QCOMPARE(std::size_t(window.List1()->count()), before.size() - 1);
        }
        window.Text1(0)->setText(QStringLiteral("Nuevo"));
        QTest::mouseClick(window.findChild<QWidget *>("cmdAltas"), Qt::LeftButton);
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
        QCOMPARE(std::size_t(window.List1()->count()), std::max<std::size_t>(before.size(), 1));
        QCOMPARE(std::size_t(fs::file_size(m_dat)), std::max<std::size_t>(before.size(), 1) * kRecordSize);
    }
}

void TestHostileFiles::tooLargeIsRefused_data()
{
    QTest::addColumn<qulonglong>("length");
    QTest::newRow("one record past the limit") << qulonglong((kMaxRecords + 1) * kRecordSize);
    QTest::newRow("100 GB") << qulonglong(100) * 1024 * 1024 * 1024;
}

// Sparse files: huge to the core, nothing on the disk.
void TestHostileFiles::tooLargeIsRefused()
{
    QFETCH(qulonglong, length);
    writeBytes(m_dat, recordBytes("Primero", "Ana"));
    QCOMPARE(::truncate(m_dat.c_str(), off_t(length)), 0);

    ContactFile file(platform::systemFileSystem(), m_folder);
    try {
        file.sortAndList();
        QFAIL("the file was loaded");
    } catch (const FileError &error) {
        QCOMPARE(error.code(), std::make_error_code(std::errc::file_too_large));
        QCOMPARE(error.path(), m_dat);
    }
    QVERIFY_THROWS_EXCEPTION(FileError, file.append(persona("Nuevo", "Bea")));
    // One record at a time still reads.
    QCOMPARE(std::string(file.read(0)->data(), kRecordSize), recordBytes("Primero", "Ana"));

    ui::PersonasWidget window(platform::systemFileSystem(), m_folder, m_recorder, m_dialogs, m_program.fresh());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QStringLiteral("No se pudo leer el archivo «%1»")
                                             .arg(QString::fromStdString(m_dat.string()))),
             qPrintable(m_messages.first()));
    QCOMPARE(window.List1()->count(), 0);
    window.Text1(0)->setText(QStringLiteral("Nuevo"));
    QTest::mouseClick(window.findChild<QWidget *>("cmdAltas"), Qt::LeftButton);
    QCOMPARE(m_messages.size(), 2);
    QVERIFY(m_messages.last().startsWith(QStringLiteral("No se pudo agregar el contacto.")));
    QCOMPARE(window.Text1(0)->text(), QStringLiteral("Nuevo"));
    QCOMPARE(qulonglong(fs::file_size(m_dat)), length);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
