// The system-information launcher and the registry value reader, driven through a
// table registry and a launcher that records instead of starting anything.
#include "tests/support/CoreTest.h"
#include "platform/SysInfo.h"
#include "platform/TableRegistry.h"

#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

using namespace platform;
using coretest::eachRow;

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

// Text as the registry stores a REG_SZ: with its terminating zero.
std::string sz(const std::string &text)
{
    return text + '\0';
}

void putValue(TableRegistry &registry, const char *key, const char *name, int type, const std::string &data)
{
    if (type == kNoKey)
        return;
    if (type == kAbsent) {
        registry.setValue(kHKeyLocalMachine, key, "some other value", kRegSz, {'x', '\0'});
        return;
    }
    registry.setValue(kHKeyLocalMachine, key, name, static_cast<std::uint32_t>(type),
                      std::vector<unsigned char>(data.begin(), data.end()));
}

bool looksUpFolder(const TableRegistry &registry)
{
    for (const std::string &lookup : registry.lookups())
        if (lookup.rfind(kMsinfoLocationKey, 0) == 0)
            return true;
    return false;
}

struct StartRow {
    std::string name;
    int pathType;
    std::string pathData;
    int folderType;
    std::string folderData;
    std::vector<std::string> existing;
    std::string started;  // empty: the message instead
    std::vector<std::string> attempts;
    std::vector<std::string> fileTests;
    bool folderRead;
};

struct ReadRow {
    std::string name;
    int type;
    std::string data;
    std::string before;
    bool found;
    std::string after;
};

} // namespace

TEST_CASE("starts the system information")
{
    const std::string program = R"(C:\Prog\msinfo32.exe)";
    const std::string inFolder = R"(C:\Tools\MSINFO32.EXE)";
    const std::string folder = R"(C:\Tools)";
    const std::string longPath = "C:\\" + std::string(1020, 'p');  // 1,023 characters
    const int text = int(kRegSz);

    const std::vector<StartRow> rows = {
        {"PATH as text starts it, MSINFO not read", text, sz(program), text, sz(folder), {program, inFolder}, program,
         {program}, {}, false},
        {"PATH missing, folder holds the program", kAbsent, "", text, sz(folder), {inFolder}, inFolder, {inFolder},
         {inFolder}, true},
        {"folder without the program", kAbsent, "", text, sz(folder), {}, "", {}, {inFolder}, true},
        {"both missing", kNoKey, "", kNoKey, "", {inFolder}, "", {}, {}, true},
        {"PATH names nothing startable, MSINFO not tried", text, sz(R"(C:\nothing.exe)"), text, sz(folder),
         {inFolder}, "", {R"(C:\nothing.exe)"}, {}, false},
        {"PATH of another type starts an empty path", int(kRegExpandSz), sz(R"(%SystemRoot%\msinfo32.exe)"), text,
         sz(folder), {inFolder}, "", {""}, {}, false},
        {"PATH as a number", int(kRegDword), std::string("\x03\x02\x01\x00", 4), kNoKey, "", {"&h123"}, "&h123",
         {"&h123"}, {}, false},
        {"PATH over 1,024 bytes counts as missing", text, sz(std::string(1024, 'a')), text, sz(folder),
         {std::string(1024, 'a'), inFolder}, inFolder, {inFolder}, {inFolder}, true},
        {"PATH of exactly 1,024 bytes with its zero", text, sz(longPath), kNoKey, "", {longPath}, longPath,
         {longPath}, {}, false},
        {"PATH without a terminating zero stays whole", text, R"(C:\a.exe)", kNoKey, "", {R"(C:\a.exe)"},
         R"(C:\a.exe)", {R"(C:\a.exe)"}, {}, false},
        {"folder ending in a separator doubles it", kAbsent, "", text, sz(R"(C:\Tools\)"),
         {R"(C:\Tools\\MSINFO32.EXE)"}, R"(C:\Tools\\MSINFO32.EXE)", {R"(C:\Tools\\MSINFO32.EXE)"},
         {R"(C:\Tools\\MSINFO32.EXE)"}, true},
        {"folder over 1,024 bytes counts as missing", kAbsent, "", text, sz(std::string(1030, 'f')), {}, "", {}, {},
         true},
        {"zero-byte PATH value", text, "", text, sz(folder), {inFolder}, "", {}, {}, false},
        {"zero-byte folder value", kAbsent, "", text, "", {}, "", {}, {}, true},
    };
    eachRow(rows, [](const StartRow &row) {
        TableRegistry registry;
        putValue(registry, kMsinfoKey, kMsinfoPathValue, row.pathType, row.pathData);
        putValue(registry, kMsinfoLocationKey, kMsinfoLocationValue, row.folderType, row.folderData);
        RecordingLauncher launcher;
        launcher.files.insert(row.existing.begin(), row.existing.end());
        std::vector<std::string> messages;

        StartSysInfo(registry, launcher, [&](const std::string &message) { messages.push_back(message); });

        CHECK_EQ(launcher.attempts, row.attempts);
        CHECK_EQ(launcher.fileTests, row.fileTests);
        if (row.started.empty()) {
            CHECK(launcher.started.empty());
            CHECK_EQ(messages, std::vector<std::string>{kSysInfoUnavailable});
        } else {
            CHECK_EQ(launcher.started, std::vector<std::string>{row.started});
            CHECK(launcher.styles == std::vector<int>{kNormalFocus});
            CHECK(messages.empty());
        }
        CHECK_EQ(looksUpFolder(registry), row.folderRead);
        CHECK_EQ(registry.openHandles(), std::size_t(0));
    });
}

TEST_CASE("reads a value")
{
    const std::vector<ReadRow> rows = {
        {"number 12345678", int(kRegDword), std::string("\x78\x56\x34\x12", 4), "", true, "&h12345678"},
        {"number 00010203", int(kRegDword), std::string("\x03\x02\x01\x00", 4), "", true, "&h123"},
        {"number 0000000A", int(kRegDword), std::string("\x0A\x00\x00\x00", 4), "", true, "&h00A"},
        {"number 000000FF", int(kRegDword), std::string("\xFF\x00\x00\x00", 4), "", true, "&h00FF"},
        {"only the last zero is cut", int(kRegSz), std::string("ab\0\0", 4), "", true, std::string("ab\0", 3)},
        {"1,024 bytes without a zero", int(kRegSz), std::string(1024, 'x'), "", true, std::string(1024, 'x')},
        {"expandable text leaves the old text", int(kRegExpandSz), sz("%x%"), "old", true, "old"},
        {"missing value empties", kAbsent, "", "old", false, ""},
        {"missing key empties", kNoKey, "", "old", false, ""},
    };
    eachRow(rows, [](const ReadRow &row) {
        TableRegistry registry;
        putValue(registry, kMsinfoKey, kMsinfoPathValue, row.type, row.data);
        std::string value = row.before;

        CHECK_EQ(GetKeyValue(registry, kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, value), row.found);
        CHECK_EQ(value, row.after);
        CHECK_EQ(registry.openHandles(), std::size_t(0));
    });
}

TEST_CASE("a zero-byte value throws and closes the key")
{
    TableRegistry registry;
    registry.setValue(kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, kRegSz, {});
    std::string value;

    CHECK_THROWS_AS(GetKeyValue(registry, kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, value),
                    std::invalid_argument);
    CHECK_EQ(registry.openHandles(), std::size_t(0));
}
