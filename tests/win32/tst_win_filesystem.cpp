// The Windows file layer itself: how it opens, reads at the end, empties, names
// its errors, replaces a file that someone else holds open, stamps the file, and
// keeps its lock.
#include "tests/support/CoreTest.h"
#include "contacts/ContactFile.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/RecordFiles.h"
#include "tests/win32/WinTestSupport.h"
#include "platform/WindowsSystem.h"

#include <chrono>
#include <thread>

using namespace contacts;
namespace fs = std::filesystem;
using wintest::TempFolder;
using OpenMode = FileSystem::OpenMode;

namespace {

// The system's own text for `error`, as UTF-8.
std::string systemText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring wide(text, length);
    ::LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '
                             || wide.back() == L'.'))
        wide.pop_back();
    return wintest::utf8(wide);
}

std::string pathText(const fs::path &path)
{
    return wintest::utf8(path.wstring());
}

struct OpenRow {
    std::string name;
    const char *before;  // the file's contents beforehand; null: no file
    OpenMode mode;
    const char *after;  // null: the open fails, the file as it was
    bool hidden = false;
};

const std::vector<OpenRow> kOpens = {
    {"read-only, missing", nullptr, OpenMode::ReadOnly, nullptr},
    {"read-only, present", "abc", OpenMode::ReadOnly, "abc"},
    {"read-write, missing, is created", nullptr, OpenMode::ReadWrite, ""},
    {"read-write, present, is kept", "abc", OpenMode::ReadWrite, "abc"},
    {"emptied, missing, is created", nullptr, OpenMode::ReadWriteEmpty, ""},
    {"emptied, present", "abc", OpenMode::ReadWriteEmpty, ""},
    {"emptied, hidden", "abc", OpenMode::ReadWriteEmpty, "", true},
    {"new, missing, is created", nullptr, OpenMode::CreateNew, ""},
    {"new, present, is refused", "abc", OpenMode::CreateNew, nullptr},
};

struct ReadRow {
    std::string name;
    std::uint64_t offset;
    std::size_t size;
    std::string got;
};

const std::vector<ReadRow> kReads = {
    {"inside", 2, 3, "234"},
    {"over the end", 7, 10, "789"},
    {"at the end", 10, 5, ""},
    {"past the end", 1000, 5, ""},
    {"past 4 GiB", 0x100000005ull, 5, ""},
};

struct SizeRow {
    std::string name;
    OpenMode mode;          // on a file of "0123456789"
    std::uint64_t writeAt;  // "xy" written here
    std::string contents;
};

const std::vector<SizeRow> kSizes = {
    {"inside", OpenMode::ReadWrite, 1, "0xy3456789"},
    {"grow with zeros", OpenMode::ReadWrite, 12, std::string("0123456789\0\0xy", 14)},
    {"write past the end leaves zeros", OpenMode::ReadWrite, 13, std::string("0123456789\0\0\0xy", 15)},
    {"empty", OpenMode::ReadWriteEmpty, 0, "xy"},
};

// A failure the system itself reports, provoked for real, and the condition the
// contact core tests for it.
struct ErrorRow {
    std::string name;
    FileOp op;
    DWORD code;
    std::errc condition;
};

const std::vector<ErrorRow> kErrors = {
    {"missing file", FileOp::Open, ERROR_FILE_NOT_FOUND, std::errc::no_such_file_or_directory},
    {"missing folder", FileOp::Open, ERROR_PATH_NOT_FOUND, std::errc::no_such_file_or_directory},
    {"another program holds the file", FileOp::Open, ERROR_SHARING_VIOLATION, std::errc::device_or_resource_busy},
    {"write through a read-only handle", FileOp::Write, ERROR_ACCESS_DENIED, std::errc::permission_denied},
    {"remove a missing file", FileOp::Remove, ERROR_FILE_NOT_FOUND, std::errc::no_such_file_or_directory},
};

// Another program with "personas.dat" open while a command replaces it.
struct HolderRow {
    std::string name;
    DWORD share;
    int releaseAfterMs;  // -1: held until the command has ended
    DWORD attributes = 0; // given to "personas.dat" beforehand, archive cleared
};

const std::vector<HolderRow> kHolders = {
    {"a reader sharing everything, held", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, -1},
    {"a scanner sharing reads only, held", FILE_SHARE_READ, -1},
    {"a scanner sharing nothing, held", 0, -1},
    {"a scanner sharing reads only, let go after 150 ms", FILE_SHARE_READ, 150},
    {"a scanner sharing nothing, let go after 400 ms", 0, 400},
    {"a reader sharing everything, let go at once; the file hidden, system, unindexed, backed up",
     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED},
};

// What the rewrite keeps of the replaced file's attributes; archive, "changed since
// the last backup", is always set on the new contents.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED
                                  | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;

FileSystem &fileSystem()
{
    return platform::systemFileSystem();
}

} // namespace

TEST_CASE("opens")
{
    FileSystem &system = fileSystem();
    coretest::eachRow(kOpens, [&](const OpenRow &row) {
        TempFolder folder;
        const fs::path path = folder / "f.dat";
        if (row.before) {
            writeBytes(path, row.before);
            if (row.hidden)
                REQUIRE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
        }
        try {
            const FileHandle file = system.open(path, row.mode);
            REQUIRE(row.after != nullptr);
            REQUIRE_EQ(system.length(file), std::uint64_t(std::string(row.after).size()));
            system.close(file);
            REQUIRE_EQ(readBytes(path), std::string(row.after));
            REQUIRE(!wintest::isOpen(path));
        } catch (const FileError &error) {
            REQUIRE_MESSAGE(row.after == nullptr, error.what());
            REQUIRE_EQ(error.op(), FileOp::Open);
            REQUIRE_EQ(fs::exists(path), row.before != nullptr);
        }
    });
}

TEST_CASE("reads at and past the end")
{
    FileSystem &system = fileSystem();
    coretest::eachRow(kReads, [&](const ReadRow &row) {
        TempFolder folder;
        writeBytes(folder / "f", "0123456789");
        const FileHandle file = system.open(folder / "f", OpenMode::ReadOnly);
        std::string buffer(row.size, '#');
        const std::size_t got = system.read(file, row.offset, buffer.data(), buffer.size());
        system.close(file);
        REQUIRE_EQ(buffer.substr(0, got), row.got);
    });
}

TEST_CASE("empties and writes")
{
    FileSystem &system = fileSystem();
    coretest::eachRow(kSizes, [&](const SizeRow &row) {
        TempFolder folder;
        writeBytes(folder / "f", "0123456789");
        const FileHandle file = system.open(folder / "f", row.mode);
        REQUIRE_EQ(system.length(file), std::uint64_t(row.mode == OpenMode::ReadWriteEmpty ? 0 : 10));
        system.write(file, row.writeAt, "xy", 2);
        system.flush(file);
        REQUIRE_EQ(system.length(file), std::uint64_t(row.contents.size()));
        system.close(file);
        REQUIRE_EQ(readBytes(folder / "f"), row.contents);
    });
}

    // Run in Spanish, these texts have accents ("Violación de recurso compartido"):
    // the message must carry them as UTF-8, like the rest of it.
TEST_CASE("errors carry the system's code and text")
{
    FileSystem &system = fileSystem();
    coretest::eachRow(kErrors, [&](const ErrorRow &row) {
        TempFolder folder(L"Pruebas ñá€");
        const fs::path path = folder / kDataFileName;
        HANDLE holder = INVALID_HANDLE_VALUE;
        try {
            switch (row.code) {
            case ERROR_PATH_NOT_FOUND:
                system.open(folder / "falta" / kDataFileName, OpenMode::ReadOnly);
                break;
            case ERROR_SHARING_VIOLATION:
                writeBytes(path, "x");
                holder = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                REQUIRE(holder != INVALID_HANDLE_VALUE);
                system.open(path, OpenMode::ReadWrite);
                break;
            case ERROR_ACCESS_DENIED: {
                writeBytes(path, "x");
                const FileHandle file = system.open(path, OpenMode::ReadOnly);
                try {
                    system.write(file, 0, "y", 1);
                } catch (...) {
                    system.close(file);
                    throw;
                }
                system.close(file);
                break;
            }
            default:
                if (row.op == FileOp::Remove)
                    system.remove(path);
                else
                    system.open(path, OpenMode::ReadOnly);
            }
            if (holder != INVALID_HANDLE_VALUE)
                ::CloseHandle(holder);
            FAIL("the call did not fail");
        } catch (const FileError &error) {
            if (holder != INVALID_HANDLE_VALUE)
                ::CloseHandle(holder);
            REQUIRE_EQ(error.op(), row.op);
            REQUIRE_EQ(error.code().value(), int(row.code));
            REQUIRE(error.code() == row.condition);
            REQUIRE_EQ(error.code().message(), systemText(row.code));
            const std::string what = error.what();
            REQUIRE_MESSAGE(wintest::isUtf8(what), what);
            REQUIRE_MESSAGE(what.find(name(row.op)) != std::string::npos, what);
            REQUIRE_MESSAGE(what.find(pathText(error.path())) != std::string::npos, what);
            REQUIRE_MESSAGE(what.find(systemText(row.code)) != std::string::npos, what);
            REQUIRE_MESSAGE(what.find("Pruebas ñá€") != std::string::npos, what);
        }
    });
}

    // Windows will not replace a file that any handle holds open, whatever it shares.
    // The command waits a little for a brief holder, and otherwise fails with the
    // file as it was.
TEST_CASE("replacing a file that another handle holds open")
{
    FileSystem &system = fileSystem();
    coretest::eachRow(kHolders, [&](const HolderRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        const std::string old = recordBytes("R0", "Ana") + recordBytes("R1", "Bea") + recordBytes("R2", "Luis");
        writeBytes(dat, old);
        if (row.attributes != 0)
            CHECK(::SetFileAttributesW(dat.c_str(), row.attributes));
        // What the file system kept of them: Wine keeps no "not indexed", and shows
        // every file as archived.
        const DWORD given = ::GetFileAttributesW(dat.c_str()) & kKeptAttributes;
        CHECK_EQ(given & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                 row.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
        ContactFile file(system, folder.path());
        const Record second = file.read(1).value();

        const HANDLE holder = ::CreateFileW(dat.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(holder != INVALID_HANDLE_VALUE);
        std::thread release;
        if (row.releaseAfterMs >= 0)
            release = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(row.releaseAfterMs));
                ::CloseHandle(holder);
            });

        const auto started = std::chrono::steady_clock::now();
        std::string outcome;
        // A holder that shares nothing stops the data file from being opened at all,
        // so such a command fails at its first open rather than at the replace.
        try {
            const bool removed = file.remove(1, second);
            REQUIRE(removed);
            outcome = "replaced";
        } catch (const FileError &error) {
            outcome = std::string("failed: ") + error.what();
            REQUIRE_MESSAGE((error.op() == FileOp::Rename || error.op() == FileOp::Open), outcome);
            REQUIRE_MESSAGE(wintest::isUtf8(outcome), outcome);
            REQUIRE_MESSAGE(outcome.find(error.code().message()) != std::string::npos, outcome);
        }
        const auto took = std::chrono::steady_clock::now() - started;
        if (release.joinable())
            release.join();
        else
            ::CloseHandle(holder);
        MESSAGE(outcome << " (" << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms)");
        REQUIRE(!fs::exists(folder / kTempFileName));
        REQUIRE(wintest::lockIsFree(folder / kLockFileName));
        const std::string now = readBytes(dat);
        if (outcome == "replaced") {
            REQUIRE_EQ(now, recordBytes("R0", "Ana") + recordBytes("R2", "Luis"));
        } else {
            REQUIRE_EQ(now, old);
            // Once the holder has gone the same command goes through.
            REQUIRE(file.remove(1, second));
            REQUIRE_EQ(readBytes(dat), recordBytes("R0", "Ana") + recordBytes("R2", "Luis"));
        }
        // A holder that lets go in time is waited for.
        if (row.releaseAfterMs >= 0)
            REQUIRE_EQ(outcome, std::string("replaced"));
        CHECK_EQ(::GetFileAttributesW(dat.c_str()) & kKeptAttributes, given | FILE_ATTRIBUTE_ARCHIVE);
    });
}

// Another writer's change to the data file, as the file's stamp must tell it (or,
// with nothing changed, must not). Sizes and times are kept where they could hide
// the change, so that each row tells one thing apart.
struct StampRow {
    std::string name;
    void (*change)(const fs::path &dat);
    bool tells;
};

FILETIME lastWrite(const fs::path &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    REQUIRE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return data.ftLastWriteTime;
}

void setLastWrite(const fs::path &path, FILETIME time)
{
    const HANDLE handle = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(handle != INVALID_HANDLE_VALUE);
    CHECK(::SetFileTime(handle, nullptr, nullptr, &time));
    ::CloseHandle(handle);
}

const std::vector<StampRow> kStamps = {
    {"nothing done", [](const fs::path &dat) { CHECK_EQ(readBytes(dat).size(), std::size_t(10)); }, false},
    {"rewritten in place, same size",
     [](const fs::path &dat) {
         FILETIME time = lastWrite(dat);
         writeBytes(dat, "9876543210");
         time.dwHighDateTime += 1; // some seven minutes later
         setLastWrite(dat, time);
     },
     true},
    {"replaced by a rename, same size and time",
     [](const fs::path &dat) {
         const fs::path other = dat.parent_path() / "other.tmp";
         writeBytes(other, readBytes(dat));
         setLastWrite(other, lastWrite(dat));
         REQUIRE(::MoveFileExW(other.c_str(), dat.c_str(), MOVEFILE_REPLACE_EXISTING));
     },
     true},
    {"deleted", [](const fs::path &dat) { REQUIRE(::DeleteFileW(dat.c_str())); }, true},
    {"deleted and written again, same contents and time",
     [](const fs::path &dat) {
         const FILETIME time = lastWrite(dat);
         // Kept aside until the new one exists, so that it cannot take the old one's id.
         const fs::path aside = dat.parent_path() / "aside.tmp";
         REQUIRE(::MoveFileW(dat.c_str(), aside.c_str()));
         writeBytes(dat, readBytes(aside));
         setLastWrite(dat, time);
         REQUIRE(::DeleteFileW(aside.c_str()));
     },
     true},
};

TEST_CASE("the file's stamp tells another writer's change")
{
    FileSystem &system = fileSystem();
    coretest::eachRow(kStamps, [&](const StampRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        writeBytes(dat, "0123456789");
        ContactFile file(system, folder.path());
        const FileStamp before = file.stamp();
        REQUIRE(before.exists);
        row.change(dat);
        const FileStamp after = file.stamp();
        CHECK_EQ(after == before, !row.tells);
        CHECK_EQ(after.exists, fs::exists(dat));
        CHECK_EQ(after.size, fs::exists(dat) ? std::uint64_t(10) : 0);
        // Asked again with nothing changed, it stays.
        CHECK(file.stamp() == after);
    });
}

TEST_CASE("the lock survives closing other handles to the lock file")
{
    FileSystem &system = fileSystem();
    TempFolder folder;
    const fs::path lockPath = folder / kLockFileName;
    const FileHandle held = system.lock(lockPath);
    REQUIRE(!wintest::lockIsFree(lockPath));
    // Another handle of this process, opened and closed through the layer...
    system.close(system.open(lockPath, OpenMode::ReadWrite));
    // ...and one opened directly.
    const HANDLE other = ::CreateFileW(lockPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(other != INVALID_HANDLE_VALUE);
    ::CloseHandle(other);
    REQUIRE(!wintest::lockIsFree(lockPath));
    system.unlock(held);
    REQUIRE(wintest::lockIsFree(lockPath));
    // And it can be taken again at once.
    system.unlock(system.lock(lockPath));
}

TEST_CASE("the program's folder holds the running program")
{
    const fs::path path = platform::windows::executablePath();
    REQUIRE(path.is_absolute());
    REQUIRE_EQ(path.parent_path(), platform::windows::programFolder());
    REQUIRE(fs::is_regular_file(path));
    REQUIRE_EQ(path.filename().wstring(), std::wstring(L"tst_win_filesystem.exe"));
    // Buffers too short for the path are grown until it fits.
    for (std::size_t first : {1, 2, 7, 16})
        REQUIRE_EQ(platform::windows::executablePath(first), path);
}
