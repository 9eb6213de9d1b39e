// The system-information launcher and the registry value reader, driven through a
// table registry and a launcher that records instead of starting anything.
#include "platform/SysInfo.h"
#include "platform/TableRegistry.h"

#include <QtTest>

#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

using namespace platform;

namespace {

constexpr int kAbsent = -1;     // the value does not exist (its key does)
constexpr int kNoKey = -2;      // not even its key exists

class RecordingLauncher : public Launcher {
public:
    std::set<std::string> files;  // ordinary files that exist, each one startable
    std::vector<std::string> fileTests;
    std::vector<std::string> attempts;
    std::vector<std::string> started;
    std::vector<int> styles;

    bool isOrdinaryFile(const std::string &path) override
    {
        fileTests.push_back(path);
        return files.count(path) == 1;
    }
    void start(const std::string &commandLine, int windowStyle) override
    {
        attempts.push_back(commandLine);
        if (files.count(commandLine) == 0)
            throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory), commandLine);
        started.push_back(commandLine);
        styles.push_back(windowStyle);
    }
};

std::vector<unsigned char> bytes(const QByteArray &data)
{
    return std::vector<unsigned char>(data.begin(), data.end());
}

// Text as the registry stores a REG_SZ: with its terminating zero.
QByteArray sz(const QByteArray &text)
{
    QByteArray data = text;
    data.append('\0');
    return data;
}

void putValue(TableRegistry &registry, const char *key, const char *name, int type, const QByteArray &data)
{
    if (type == kNoKey)
        return;
    if (type == kAbsent) {
        registry.setValue(kHKeyLocalMachine, key, "some other value", kRegSz, bytes(sz("x")));
        return;
    }
    registry.setValue(kHKeyLocalMachine, key, name, static_cast<std::uint32_t>(type), bytes(data));
}

std::vector<std::string> strings(const QStringList &list)
{
    std::vector<std::string> result;
    for (const QString &s : list)
        result.push_back(s.toStdString());
    return result;
}

bool looksUpFolder(const TableRegistry &registry)
{
    for (const std::string &lookup : registry.lookups())
        if (lookup.rfind(kMsinfoLocationKey, 0) == 0)
            return true;
    return false;
}

} // namespace

class tst_SysInfo : public QObject {
    Q_OBJECT

private slots:
    void startSysInfo_data();
    void startSysInfo();
    void readValue_data();
    void readValue();
    void zeroByteValueThrowsAndClosesTheKey();
};

void tst_SysInfo::startSysInfo_data()
{
    QTest::addColumn<int>("pathType");
    QTest::addColumn<QByteArray>("pathData");
    QTest::addColumn<int>("folderType");
    QTest::addColumn<QByteArray>("folderData");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("started");     // empty: the message instead
    QTest::addColumn<QStringList>("attempts");
    QTest::addColumn<QStringList>("fileTests");
    QTest::addColumn<bool>("folderRead");

    const QByteArray program = R"(C:\Prog\msinfo32.exe)";
    const QString inFolder = R"(C:\Tools\MSINFO32.EXE)";
    const QByteArray folder = R"(C:\Tools)";
    const QByteArray longPath = "C:\\" + QByteArray(1020, 'p');  // 1,023 characters

    QTest::newRow("PATH as text starts it, MSINFO not read")
        << int(kRegSz) << sz(program) << int(kRegSz) << sz(folder) << QStringList{program, inFolder}
        << QString(program) << QStringList{program} << QStringList{} << false;
    QTest::newRow("PATH missing, folder holds the program")
        << kAbsent << QByteArray() << int(kRegSz) << sz(folder) << QStringList{inFolder} << inFolder
        << QStringList{inFolder} << QStringList{inFolder} << true;
    QTest::newRow("folder without the program")
        << kAbsent << QByteArray() << int(kRegSz) << sz(folder) << QStringList{} << QString()
        << QStringList{} << QStringList{inFolder} << true;
    QTest::newRow("both missing")
        << kNoKey << QByteArray() << kNoKey << QByteArray() << QStringList{inFolder} << QString()
        << QStringList{} << QStringList{} << true;
    QTest::newRow("PATH names nothing startable, MSINFO not tried")
        << int(kRegSz) << sz(R"(C:\nothing.exe)") << int(kRegSz) << sz(folder) << QStringList{inFolder}
        << QString() << QStringList{R"(C:\nothing.exe)"} << QStringList{} << false;
    QTest::newRow("PATH of another type starts an empty path")
        << int(kRegExpandSz) << sz(R"(%SystemRoot%\msinfo32.exe)") << int(kRegSz) << sz(folder)
        << QStringList{inFolder} << QString() << QStringList{QString()} << QStringList{} << false;
    QTest::newRow("PATH as a number")
        << int(kRegDword) << QByteArray("\x03\x02\x01\x00", 4) << kNoKey << QByteArray()
        << QStringList{"&h123"} << QString("&h123") << QStringList{"&h123"} << QStringList{} << false;
    QTest::newRow("PATH over 1,024 bytes counts as missing")
        << int(kRegSz) << sz(QByteArray(1024, 'a')) << int(kRegSz) << sz(folder)
        << QStringList{QString(QByteArray(1024, 'a')), inFolder} << inFolder << QStringList{inFolder}
        << QStringList{inFolder} << true;
    QTest::newRow("PATH of exactly 1,024 bytes with its zero")
        << int(kRegSz) << sz(longPath) << kNoKey << QByteArray() << QStringList{longPath}
        << QString(longPath) << QStringList{longPath} << QStringList{} << false;
    QTest::newRow("PATH without a terminating zero stays whole")
        << int(kRegSz) << QByteArray(R"(C:\a.exe)") << kNoKey << QByteArray() << QStringList{R"(C:\a.exe)"}
        << QString(R"(C:\a.exe)") << QStringList{R"(C:\a.exe)"} << QStringList{} << false;
    QTest::newRow("folder ending in a separator doubles it")
        << kAbsent << QByteArray() << int(kRegSz) << sz(R"(C:\Tools\)") << QStringList{R"(C:\Tools\\MSINFO32.EXE)"}
        << QString(R"(C:\Tools\\MSINFO32.EXE)") << QStringList{R"(C:\Tools\\MSINFO32.EXE)"}
        << QStringList{R"(C:\Tools\\MSINFO32.EXE)"} << true;
    QTest::newRow("folder over 1,024 bytes counts as missing")
        << kAbsent << QByteArray() << int(kRegSz) << sz(QByteArray(1030, 'f')) << QStringList{} << QString()
        << QStringList{} << QStringList{} << true;
    QTest::newRow("zero-byte PATH value")
        << int(kRegSz) << QByteArray() << int(kRegSz) << sz(folder) << QStringList{inFolder} << QString()
        << QStringList{} << QStringList{} << false;
    QTest::newRow("zero-byte folder value")
        << kAbsent << QByteArray() << int(kRegSz) << QByteArray() << QStringList{} << QString()
        << QStringList{} << QStringList{} << true;
}

void tst_SysInfo::startSysInfo()
{
    QFETCH(int, pathType);
    QFETCH(QByteArray, pathData);
    QFETCH(int, folderType);
    QFETCH(QByteArray, folderData);
    QFETCH(QStringList, existing);
    QFETCH(QString, started);
    QFETCH(QStringList, attempts);
    QFETCH(QStringList, fileTests);
    QFETCH(bool, folderRead);

    TableRegistry registry;
    putValue(registry, kMsinfoKey, kMsinfoPathValue, pathType, pathData);
    putValue(registry, kMsinfoLocationKey, kMsinfoLocationValue, folderType, folderData);
    RecordingLauncher launcher;
    for (const std::string &file : strings(existing))
        launcher.files.insert(file);
    std::vector<std::string> messages;

    StartSysInfo(registry, launcher, [&](const std::string &text) { messages.push_back(text); });

    QCOMPARE(launcher.attempts, strings(attempts));
    QCOMPARE(launcher.fileTests, strings(fileTests));
    if (started.isEmpty()) {
        QVERIFY(launcher.started.empty());
        QCOMPARE(messages, std::vector<std::string>{kSysInfoUnavailable});
    } else {
        QCOMPARE(launcher.started, std::vector<std::string>{started.toStdString()});
        QCOMPARE(launcher.styles, std::vector<int>{kNormalFocus});
        QVERIFY(messages.empty());
    }
    QCOMPARE(looksUpFolder(registry), folderRead);
    QCOMPARE(registry.openHandles(), std::size_t(0));
}

void tst_SysInfo::readValue_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("number 12345678") << int(kRegDword) << QByteArray("\x78\x56\x34\x12", 4) << QByteArray()
                                     << true << QByteArray("&h12345678");
    QTest::newRow("number 00010203") << int(kRegDword) << QByteArray("\x03\x02\x01\x00", 4) << QByteArray()
                                     << true << QByteArray("&h123");
    QTest::newRow("number 0000000A") << int(kRegDword) << QByteArray("\x0A\x00\x00\x00", 4) << QByteArray()
                                     << true << QByteArray("&h00A");
    QTest::newRow("number 000000FF") << int(kRegDword) << QByteArray("\xFF\x00\x00\x00", 4) << QByteArray()
                                     << true << QByteArray("&h00FF");
    QTest::newRow("only the last zero is cut")
        << int(kRegSz) << QByteArray("ab\0\0", 4) << QByteArray() << true << QByteArray("ab\0", 3);
    QTest::newRow("1,024 bytes without a zero")
        << int(kRegSz) << QByteArray(1024, 'x') << QByteArray() << true << QByteArray(1024, 'x');
    QTest::newRow("expandable text leaves the old text")
        << int(kRegExpandSz) << sz("%x%") << QByteArray("old") << true << QByteArray("old");
    QTest::newRow("missing value empties") << kAbsent << QByteArray() << QByteArray("old") << false << QByteArray();
    QTest::newRow("missing key empties") << kNoKey << QByteArray() << QByteArray("old") << false << QByteArray();
}

void tst_SysInfo::readValue()
{
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, before);
    QFETCH(bool, found);
    QFETCH(QByteArray, after);

    TableRegistry registry;
    putValue(registry, kMsinfoKey, kMsinfoPathValue, type, data);
    std::string value = before.toStdString();

    QCOMPARE(GetKeyValue(registry, kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, value), found);
    QCOMPARE(QByteArray::fromStdString(value), after);
    QCOMPARE(registry.openHandles(), std::size_t(0));
}

void tst_SysInfo::zeroByteValueThrowsAndClosesTheKey()
{
    TableRegistry registry;
    registry.setValue(kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, kRegSz, {});
    std::string value;

    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             GetKeyValue(registry, kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, value));
    QCOMPARE(registry.openHandles(), std::size_t(0));
}

QTEST_APPLESS_MAIN(tst_SysInfo)
#include "tst_sysinfo.moc"
