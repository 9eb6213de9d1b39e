// The system-information launcher and the registry value reader against the real
// registry of advapi32 and the real CreateProcessA, with a stand-in MSINFO32.EXE
// that records that it started. The launcher's cases rewrite the two values under
// HKEY_LOCAL_MACHINE that the program reads; they run only where the registry is a
// throwaway one (VORTEDA_PRIVATE_REGISTRY=1, set for the Wine runs), and put back
// what was there.
#include "tests/support/CoreTest.h"
#include "platform/SysInfo.h"
#include "platform/System.h"
#include "tests/win32/WinTestSupport.h"
#include "platform/WindowsSystem.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

using namespace platform;
namespace fs = std::filesystem;
using wintest::TempFolder;

namespace {

constexpr char kTestKey[] = "SOFTWARE\\Brimacor\\Vorteda\\Pruebas";
constexpr char kTestValue[] = "Valor";

// What a test puts in the registry. `text` may hold {A} and {B} for the case's two
// folders, and end in {PAD} to fill it with spaces to 1,023 characters.
struct RegValue {
    enum Kind { NoKey, Absent, Set } kind = NoKey;
    DWORD type = REG_NONE;
    std::string text;
    bool zero = true;  // stored with a terminating zero byte
};

RegValue sz(const std::string &text) { return {RegValue::Set, REG_SZ, text, true}; }
RegValue expandSz(const std::string &text) { return {RegValue::Set, REG_EXPAND_SZ, text, true}; }
RegValue raw(DWORD type, const std::string &bytes) { return {RegValue::Set, type, bytes, false}; }
const RegValue kNoKey{RegValue::NoKey, REG_NONE, "", true};
const RegValue kAbsent{RegValue::Absent, REG_NONE, "", true};

std::string ansi(const fs::path &path)
{
    const std::wstring wide = path.wstring();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

struct Folders {
    std::string a, b;

    std::string expand(std::string text) const
    {
        for (auto [token, value] : {std::pair<std::string, std::string>{"{A}", a}, {"{B}", b}}) {
            for (std::size_t at; (at = text.find(token)) != std::string::npos;)
                text.replace(at, token.size(), value);
        }
        const std::size_t pad = text.find("{PAD}");
        if (pad != std::string::npos) {
            text.erase(pad);
            text.resize(1023, ' ');
        }
        return text;
    }
    std::vector<std::string> expand(const std::vector<std::string> &texts) const
    {
        std::vector<std::string> out;
        for (const std::string &text : texts)
            out.push_back(expand(text));
        return out;
    }
};

// Writes `value` as the value `name` of `key`, after removing the key and all it held.
void put(HKEY root, const std::string &key, const std::string &name, const RegValue &value, const Folders &folders)
{
    ::RegDeleteTreeA(root, key.c_str());
    ::RegDeleteKeyA(root, key.c_str());
    if (value.kind == RegValue::NoKey)
        return;
    HKEY opened = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) != 0)
        throw std::runtime_error("cannot create the key " + key);
    std::string data = value.kind == RegValue::Absent ? std::string("x") : folders.expand(value.text);
    if (value.kind == RegValue::Absent || value.zero)
        data.push_back('\0');
    const std::string valueName = value.kind == RegValue::Absent ? "otro valor" : name;
    const LONG rc = ::RegSetValueExA(opened, valueName.c_str(), 0, value.kind == RegValue::Absent ? REG_SZ : value.type,
                                     reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size()));
    ::RegCloseKey(opened);
    if (rc != 0)
        throw std::runtime_error("cannot set " + key + "\\" + valueName);
}

// Keeps a key's values (not its sub-keys) and puts them back when done.
class SavedKey {
public:
    SavedKey(HKEY root, std::string key)
        : m_root(root)
        , m_key(std::move(key))
    {
        HKEY opened = nullptr;
        m_existed = ::RegOpenKeyExA(m_root, m_key.c_str(), 0, KEY_READ, &opened) == 0;
        if (!m_existed)
            return;
        for (DWORD index = 0;; ++index) {
            wchar_t name[16384];
            DWORD nameLength = 16384;
            DWORD type = 0;
            DWORD size = 0;
            if (::RegEnumValueW(opened, index, name, &nameLength, nullptr, &type, nullptr, &size) != 0)
                break;
            Saved saved{std::wstring(name, nameLength), type, std::vector<BYTE>(size)};
            ::RegQueryValueExW(opened, saved.name.c_str(), nullptr, nullptr, saved.data.data(), &size);
            saved.data.resize(size);
            m_values.push_back(std::move(saved));
        }
        ::RegCloseKey(opened);
    }
    SavedKey(const SavedKey &) = delete;
    SavedKey &operator=(const SavedKey &) = delete;
    ~SavedKey()
    {
        ::RegDeleteTreeA(m_root, m_key.c_str());
        ::RegDeleteKeyA(m_root, m_key.c_str());
        if (!m_existed)
            return;
        HKEY opened = nullptr;
        if (::RegCreateKeyExA(m_root, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) != 0)
            return;
        for (const Saved &saved : m_values)
            ::RegSetValueExW(opened, saved.name.c_str(), 0, saved.type, saved.data.data(), DWORD(saved.data.size()));
        ::RegCloseKey(opened);
    }

private:
    struct Saved {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    HKEY m_root;
    std::string m_key;
    bool m_existed = false;
    std::vector<Saved> m_values;
};

// Passes every call to the real registry, noting which keys were opened and how
// many are still open.
class RecordingRegistry : public Registry {
public:
    explicit RecordingRegistry(Registry &real) : m_real(real) {}
    std::vector<std::string> opened;
    std::vector<std::uint32_t> accesses;
    int open = 0;

    RegResult openKey(RegKey root, const std::string &subKey, std::uint32_t options, std::uint32_t access,
                      RegKey *result) override
    {
        opened.push_back(subKey);
        accesses.push_back(access);
        const RegResult rc = m_real.openKey(root, subKey, options, access, result);
        if (rc == kErrorSuccess)
            ++open;
        return rc;
    }
    RegResult queryValue(RegKey key, const std::string &name, std::uint32_t *type, unsigned char *data,
                         std::uint32_t *size) override
    {
        return m_real.queryValue(key, name, type, data, size);
    }
    RegResult closeKey(RegKey key) override
    {
        --open;
        return m_real.closeKey(key);
    }

private:
    Registry &m_real;
};

// Passes every call to the real launcher, noting what was tested and started.
class RecordingLauncher : public Launcher {
public:
    explicit RecordingLauncher(Launcher &real) : m_real(real) {}
    std::vector<std::string> fileTests, attempts, started;
    std::vector<int> styles;

    bool isOrdinaryFile(const std::string &path) override
    {
        fileTests.push_back(path);
        return m_real.isOrdinaryFile(path);
    }
    void start(const std::string &commandLine, int windowStyle) override
    {
        attempts.push_back(commandLine);
        m_real.start(commandLine, windowStyle);
        started.push_back(commandLine);
        styles.push_back(windowStyle);
    }

private:
    Launcher &m_real;
};

std::string contents(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const fs::path &standIn()
{
    static const fs::path path = windows::programFolder() / "MSINFO32.exe";
    return path;
}

// Puts a copy of the stand-in into `folder` as MSINFO32.EXE.
void placeStandIn(const fs::path &folder, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    const fs::path copy = folder / "MSINFO32.EXE";
    if (!::CopyFileW(standIn().c_str(), copy.c_str(), FALSE))
        throw std::runtime_error("cannot copy the stand-in");
    ::SetFileAttributesW(copy.c_str(), attributes);
}

struct ReadRow {
    std::string name;
    RegKey root;
    RegValue value;
    std::string before;
    bool found;
    std::string after;
};

const std::vector<ReadRow> kReads = {
    {"text", kHKeyLocalMachine, sz("C:\\Prog\\x.exe"), "", true, "C:\\Prog\\x.exe"},
    {"text in the code page", kHKeyLocalMachine, sz("Configuraci\xF3n \x80"), "", true, "Configuraci\xF3n \x80"},
    {"text under another root", kHKeyCurrentUser, sz("usuario"), "", true, "usuario"},
    {"number 12345678", kHKeyLocalMachine, raw(REG_DWORD, std::string("\x78\x56\x34\x12", 4)), "", true,
     "&h12345678"},
    {"number 00010203", kHKeyLocalMachine, raw(REG_DWORD, std::string("\x03\x02\x01\x00", 4)), "", true, "&h123"},
    {"number 0000000A", kHKeyLocalMachine, raw(REG_DWORD, std::string("\x0A\x00\x00\x00", 4)), "", true, "&h00A"},
    {"1,024 bytes with the zero read as 1,023 characters", kHKeyLocalMachine, sz(std::string(1023, 'p')), "", true,
     std::string(1023, 'p')},
    {"1,025 bytes count as missing", kHKeyLocalMachine, sz(std::string(1024, 'p')), "old", false, ""},
    {"text without a terminating zero stays whole", kHKeyLocalMachine, raw(REG_SZ, "C:\\a.exe"), "", true,
     "C:\\a.exe"},
    {"only the last zero is cut", kHKeyLocalMachine, raw(REG_SZ, std::string("ab\0\0", 4)), "", true,
     std::string("ab\0", 3)},
    {"expandable text leaves the old text", kHKeyLocalMachine, expandSz("%SystemRoot%\\x.exe"), "old", true, "old"},
    {"binary leaves the old text", kHKeyLocalMachine, raw(REG_BINARY, "\x01\x02"), "old", true, "old"},
    {"missing value empties", kHKeyLocalMachine, kAbsent, "old", false, ""},
    {"missing key empties", kHKeyLocalMachine, kNoKey, "old", false, ""},
};

struct LaunchRow {
    std::string name;
    RegValue path;    // "PATH" of the MSINFO key
    RegValue folder;  // "MSINFO" of the Shared Tools Location key
    std::string programIn;  // folders that hold MSINFO32.EXE: "A", "B", "AB" or ""
    std::string started;    // the folder whose program starts; "": the message instead
    std::vector<std::string> attempts;
    std::vector<std::string> fileTests;
    bool folderRead;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;  // of the program in B
};

const std::vector<LaunchRow> kLaunches = {
    {"PATH as text starts it, MSINFO not read", sz("{A}\\MSINFO32.EXE"), sz("{B}"), "AB", "A",
     {"{A}\\MSINFO32.EXE"}, {}, false},
    {"PATH missing, the folder holds the program", kAbsent, sz("{B}"), "AB", "B", {"{B}\\MSINFO32.EXE"},
     {"{B}\\MSINFO32.EXE"}, true},
    {"the folder without the program", kAbsent, sz("{B}"), "A", "", {}, {"{B}\\MSINFO32.EXE"}, true},
    {"the program in the folder is hidden", kAbsent, sz("{B}"), "B", "", {}, {"{B}\\MSINFO32.EXE"}, true,
     FILE_ATTRIBUTE_HIDDEN},
    {"the program in the folder is a system file", kAbsent, sz("{B}"), "B", "", {}, {"{B}\\MSINFO32.EXE"}, true,
     FILE_ATTRIBUTE_SYSTEM},
    {"both keys missing", kNoKey, kNoKey, "AB", "", {}, {}, true},
    {"both values missing", kAbsent, kAbsent, "AB", "", {}, {}, true},
    {"PATH names nothing startable, MSINFO not tried", sz("{A}\\nada.exe"), sz("{B}"), "AB", "",
     {"{A}\\nada.exe"}, {}, false},
    {"PATH as expandable text starts an empty path", expandSz("{A}\\MSINFO32.EXE"),
     sz("{B}"), "AB", "", {""}, {}, false},
    {"PATH as a number", raw(REG_DWORD, std::string("\x03\x02\x01\x00", 4)), sz("{B}"), "AB", "", {"&h123"}, {},
     false},
    {"PATH over 1,024 bytes counts as missing", sz(std::string(1024, 'a')), sz("{B}"), "AB", "B",
     {"{B}\\MSINFO32.EXE"}, {"{B}\\MSINFO32.EXE"}, true},
    {"PATH of exactly 1,024 bytes with its zero", sz("\"{A}\\MSINFO32.EXE\"{PAD}"), kNoKey, "A", "A",
     {"\"{A}\\MSINFO32.EXE\"{PAD}"}, {}, false},
    {"PATH of zero bytes", raw(REG_SZ, ""), sz("{B}"), "AB", "", {}, {}, false},
    {"folder value of zero bytes", kAbsent, raw(REG_SZ, ""), "AB", "", {}, {}, true},
    {"folder ending in a separator", kAbsent, sz("{B}\\"), "B", "B", {"{B}\\\\MSINFO32.EXE"},
     {"{B}\\\\MSINFO32.EXE"}, true},
};

struct FileRow {
    std::string name;
    int kind;  // 0 file, 1 folder, 2 nothing
    DWORD attributes;
    bool ordinary;
};

const std::vector<FileRow> kFiles = {
    {"ordinary file", 0, FILE_ATTRIBUTE_NORMAL, true},
    {"read-only file", 0, FILE_ATTRIBUTE_READONLY, true},
    {"archived file", 0, FILE_ATTRIBUTE_ARCHIVE, true},
    {"hidden file", 0, FILE_ATTRIBUTE_HIDDEN, false},
    {"system file", 0, FILE_ATTRIBUTE_SYSTEM, false},
    {"hidden read-only file", 0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, false},
    {"folder", 1, FILE_ATTRIBUTE_NORMAL, false},
    {"nothing", 2, FILE_ATTRIBUTE_NORMAL, false},
};

struct BadStartRow {
    std::string name;
    std::string commandLine;
};

const std::vector<BadStartRow> kBadStarts = {
    {"empty", ""},
    {"no such program", "{A}\\nada.exe"},
    {"a folder", "{A}"},
    {"a file that is no program", "{A}\\texto.txt"},
};

HKEY hkey(RegKey root)
{
    return root == kHKeyCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// The system's registry and launcher, made once.
Registry &realRegistry()
{
    static const std::unique_ptr<Registry> registry = makeSystemRegistry();
    return *registry;
}

Launcher &realLauncher()
{
    static const std::unique_ptr<Launcher> launcher = makeSystemLauncher();
    return *launcher;
}

bool privateRegistry()
{
    const char *value = std::getenv("VORTEDA_PRIVATE_REGISTRY");
    return value != nullptr && std::string(value) == "1";
}

} // namespace

TEST_CASE("reads a value")
{
    coretest::eachRow(kReads, [&](const ReadRow &row) {
        SavedKey saved(hkey(row.root), kTestKey);
        put(hkey(row.root), kTestKey, kTestValue, row.value, {});
        RecordingRegistry registry(realRegistry());
        std::string value = row.before;
        REQUIRE_EQ(GetKeyValue(registry, row.root, kTestKey, kTestValue, value), row.found);
        REQUIRE_EQ(value, row.after);
        REQUIRE_EQ(registry.open, 0);
        // Read rights only: a standard user has no others on HKEY_LOCAL_MACHINE.
        REQUIRE_EQ(registry.accesses, std::vector<std::uint32_t>{KEY_READ});
    });
}

TEST_CASE("a value of zero bytes raises an error and closes the key")
{
    SavedKey saved(HKEY_LOCAL_MACHINE, kTestKey);
    put(HKEY_LOCAL_MACHINE, kTestKey, kTestValue, raw(REG_SZ, ""), {});
    RecordingRegistry registry(realRegistry());
    std::string value;
    REQUIRE_THROWS_AS(GetKeyValue(registry, kHKeyLocalMachine, kTestKey, kTestValue, value), std::invalid_argument);
    REQUIRE_EQ(registry.opened.size(), std::size_t(1));
    REQUIRE_EQ(registry.open, 0);
}

// Changes HKEY_LOCAL_MACHINE: runs only where the registry is a throwaway one.
TEST_CASE("starts the system information" * doctest::skip(!privateRegistry()))
{
    SavedKey savedPath(HKEY_LOCAL_MACHINE, kMsinfoKey);
    SavedKey savedFolder(HKEY_LOCAL_MACHINE, kMsinfoLocationKey);
    coretest::eachRow(kLaunches, [&](const LaunchRow &row) {
        TempFolder a, b;
        const Folders folders{ansi(a.path()), ansi(b.path())};
        if (row.programIn.find('A') != std::string::npos)
            placeStandIn(a.path());
        if (row.programIn.find('B') != std::string::npos)
            placeStandIn(b.path(), row.attributes);
        put(HKEY_LOCAL_MACHINE, kMsinfoKey, kMsinfoPathValue, row.path, folders);
        put(HKEY_LOCAL_MACHINE, kMsinfoLocationKey, kMsinfoLocationValue, row.folder, folders);

        RecordingRegistry registry(realRegistry());
        RecordingLauncher launcher(realLauncher());
        std::vector<std::string> messages;
        StartSysInfo(registry, launcher, [&](const std::string &text) { messages.push_back(text); });

        REQUIRE_EQ(launcher.attempts, folders.expand(row.attempts));
        REQUIRE_EQ(launcher.fileTests, folders.expand(row.fileTests));
        bool folderRead = false;
        for (const std::string &key : registry.opened)
            folderRead = folderRead || key == kMsinfoLocationKey;
        REQUIRE_EQ(folderRead, row.folderRead);
        REQUIRE_EQ(registry.open, 0);
        if (row.started.empty()) {
            REQUIRE(launcher.started.empty());
            REQUIRE_EQ(messages, std::vector<std::string>{kSysInfoUnavailable});
        } else {
            REQUIRE_EQ(launcher.started, folders.expand(row.attempts));
            REQUIRE_EQ(launcher.styles, std::vector<int>{kNormalFocus});
            REQUIRE(messages.empty());
            // The program itself saw the command line and the show command 1.
            const fs::path record = (row.started == "A" ? a : b) / "started.txt";
            REQUIRE(wintest::waitForFile(record));
            REQUIRE_EQ(contents(record), "show=1\nline=" + launcher.started.front());
        }
        // No other copy started: the other folders' programs left no trace.
        if (row.started != "A")
            REQUIRE(!fs::exists(a / "started.txt"));
        if (row.started != "B")
            REQUIRE(!fs::exists(b / "started.txt"));
    });
}

TEST_CASE("start returns while the program runs on")
{
    TempFolder a;
    placeStandIn(a.path());
    std::ofstream(a / "hold") << "";
    realLauncher().start(ansi(a / "MSINFO32.EXE"), kNormalFocus);
    REQUIRE(wintest::waitForFile(a / "started.txt"));
    // Still running when start has returned: it waits for "hold" to go (30 s at
    // most) before it writes "ended.txt".
    REQUIRE(!fs::exists(a / "ended.txt"));
    fs::remove(a / "hold");
    REQUIRE(wintest::waitForFile(a / "ended.txt"));
}

TEST_CASE("a start that finds no program raises an error")
{
    coretest::eachRow(kBadStarts, [&](const BadStartRow &row) {
        TempFolder a;
        std::ofstream(a / "texto.txt") << "no es un programa";
        const Folders folders{ansi(a.path()), ""};
        REQUIRE_THROWS_AS(realLauncher().start(folders.expand(row.commandLine), kNormalFocus), std::system_error);
    });
}

TEST_CASE("tells an ordinary file")
{
    coretest::eachRow(kFiles, [&](const FileRow &row) {
        TempFolder a;
        const fs::path path = a / "MSINFO32.EXE";
        if (row.kind == 0) {
            std::ofstream(path) << "x";
            REQUIRE(::SetFileAttributesW(path.c_str(), row.attributes));
        } else if (row.kind == 1) {
            fs::create_directory(path);
        }
        REQUIRE_EQ(realLauncher().isOrdinaryFile(ansi(path)), row.ordinary);
        if (row.kind == 0)
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    });
}
