// The contact file on disk: counting, reading, appending, the sort and the rewrites,
// through the platform's own file layer.
#include "tests/support/CoreTest.h"
#include "contacts/ContactFile.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/RecordFiles.h"

#include <atomic>
#include <future>
#include <limits>
#include <optional>
#include <random>
#include <thread>

#ifdef __linux__
#include <cstddef>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#endif

using namespace contacts;
using coretest::eachRow;
using coretest::OpenFiles;
using coretest::TempFolder;
namespace fs = std::filesystem;

namespace {

// n records with serial surnames R0, R1, ... and the given names cycling through `names`.
std::string numbered(int n, const std::vector<std::string> &names = {"Ana"})
{
    std::string file;
    for (int i = 0; i < n; ++i)
        file += recordBytes("R" + std::to_string(i), names[std::size_t(i) % names.size()]);
    return file;
}

// The records as read: counted, the partial last one completed with spaces.
std::string asRead(std::string file)
{
    file.resize(std::size_t(recordCount(file.size())) * kRecordSize, ' ');
    return file;
}

std::string text(const std::optional<Record> &record)
{
    return record ? std::string(record->data(), record->size()) : std::string("(none)");
}

// Left by an interrupted rewrite; none of it may reach the data file.
void writeStaleTemp(const fs::path &folder)
{
    writeBytes(folder / kTempFileName, std::string(1000, 'X'));
}

struct CountRow {
    std::string name;
    std::uint64_t length;
    std::int64_t count;
    std::int64_t appendAt;
};

struct AppendRow {
    std::string name;
    int oldLength;
    int newIndex;
};

struct ReadRow {
    std::string name;
    int length;  // -1: no file
    std::int64_t index;
    int present;  // bytes of the record in the file; -1: none
};

struct SortRow {
    std::string name;
    std::vector<std::string> names;
    int tail;  // bytes of a last, partial record
};

struct ChangeRow {
    std::string name;
    std::string command;
    int length;  // of the file of R0, R1, R2; -1: no file
    std::int64_t index;
    bool stale;  // the caller's copy differs from the file
    bool changed;
    std::vector<std::string> expected;  // surnames in file order afterwards
};

} // namespace

TEST_CASE("counts")
{
    const std::vector<CountRow> rows = {
        {"empty", 0, 0, 1},
        {"52 bytes", 52, 0, 1},
        {"53 bytes", 53, 1, 2},
        {"one record", 105, 1, 2},
        {"157", 157, 1, 2},
        {"158", 158, 2, 3},
        {"32,767 records", 105ull * 32767, 32767, 32768},
        {"ten billion records", 105ull * 10'000'000'000 + 60, 10'000'000'001, 10'000'000'002},
    };
    eachRow(rows, [](const CountRow &row) {
        CHECK_EQ(recordCount(row.length), row.count);
        CHECK_EQ(appendPosition(row.length), row.appendAt);
    });
}

TEST_CASE("appends after odd lengths")
{
    const std::vector<AppendRow> rows = {
        {"empty", 0, 0},
        {"one record", 105, 1},
        {"uncounted tail is replaced", 157, 1},
        {"counted partial record is kept", 158, 2},
    };
    eachRow(rows, [](const AppendRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        const std::string old = numbered(2).substr(0, std::size_t(row.oldLength));
        writeBytes(dat, old);
        const OpenFiles open(folder.path());
        ContactFile file(platform::systemFileSystem(), folder.path());
        const auto before = file.read(1);
        const Persona added = persona("Nuevo", "Bea");
        file.append(added);

        const std::string now = readBytes(dat);
        REQUIRE_EQ(now.size(), std::size_t(row.newIndex + 1) * kRecordSize);
        CHECK_EQ(text(file.read(row.newIndex)), text(encode(added)));
        // What was counted before reads as it did; nothing shifted.
        CHECK_EQ(now.substr(0, std::size_t(row.newIndex) * kRecordSize), asRead(old));
        if (row.newIndex > 1)
            CHECK_EQ(text(file.read(1)), text(before));
        CHECK(open.released());
    });
}

TEST_CASE("reads")
{
    const std::vector<ReadRow> rows = {
        {"first", 210, 0, 105},
        {"last whole", 210, 1, 105},
        {"past the end", 210, 2, -1},
        {"far past the end", 210, 1000, -1},
        {"partial, counted", 158, 1, 53},
        {"partial, not counted", 157, 1, -1},
        {"negative", 210, -1, -1},
        {"huge", 210, std::numeric_limits<std::int64_t>::max(), -1},
        {"no file", -1, 0, -1},
    };
    eachRow(rows, [](const ReadRow &row) {
        TempFolder folder;
        const std::string file = numbered(2, {"Ana", "Luis"});
        if (row.length >= 0)
            writeBytes(folder / kDataFileName, file.substr(0, std::size_t(row.length)));
        const auto record = ContactFile(platform::systemFileSystem(), folder.path()).read(row.index);
        REQUIRE_EQ(record.has_value(), row.present >= 0);
        if (record) {
            const std::string expected = file.substr(std::size_t(row.index) * kRecordSize, std::size_t(row.present))
                + std::string(std::size_t(105 - row.present), ' ');
            CHECK_EQ(text(record), expected);
        }
    });
}

TEST_CASE("sorts as the swap sort")
{
    const std::vector<SortRow> rows = {
        {"capitals first", {"Luis", "ana", "Ana"}, 0},
        {"space before letters", {"Ana María", "Ana"}, 0},
        {"duplicates", {"Luis", "Ana", "Luis", "Ana", "Bea", "Ana", "Luis"}, 0},
        {"partial record sorts", {"Luis", "Bea", "Ana", "Zoe"}, 60},
        {"uncounted tail", {"Luis", "Bea", "Ana", "Zoe"}, 40},
    };
    eachRow(rows, [](const SortRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        std::string old = numbered(int(row.names.size()), row.names);
        old += recordBytes("Parcial", "Ana").substr(0, std::size_t(row.tail));
        writeBytes(dat, old);
        writeStaleTemp(folder.path());
        const std::string expected = asRead(swapSortLiterally(old));

        const OpenFiles open(folder.path());
        const auto surnames = ContactFile(platform::systemFileSystem(), folder.path()).sortAndList();
        CHECK_EQ(asRead(readBytes(dat)), expected);
        REQUIRE_EQ(surnames.size(), std::size_t(recordCount(old.size())));
        for (std::size_t i = 0; i < surnames.size(); ++i)
            CHECK_EQ(surnames[i], std::string(trimSpaces(decodeCp1252(expected.substr(i * kRecordSize, 25)))));
        CHECK(!fs::exists(folder / kTempFileName));
        CHECK(open.released());
        CHECK(coretest::lockIsFree(folder / kLockFileName));
    });
}

TEST_CASE("a file in order is not written")
{
    TempFolder folder;
    const fs::path dat = folder / kDataFileName;
    const std::string old = numbered(5, {"Ana", "Ana", "Bea", "Luis", "ana"});
    writeBytes(dat, old);
    const auto before = coretest::stamp(dat);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    FaultyFileSystem watched;
    const auto surnames = ContactFile(watched, folder.path()).sortAndList();
    REQUIRE_EQ(surnames.size(), std::size_t(5));
    CHECK_EQ(surnames[4], std::string("R4"));
    for (FileOp op : watched.log())
        CHECK((op != FileOp::Write && op != FileOp::Rename && op != FileOp::Remove));
    CHECK(coretest::stamp(dat) == before);
    CHECK_EQ(readBytes(dat), old);
}

TEST_CASE("a missing file is created empty")
{
    TempFolder folder;
    CHECK(ContactFile(platform::systemFileSystem(), folder.path()).sortAndList().empty());
    REQUIRE(fs::exists(folder / kDataFileName));
    CHECK_EQ(fs::file_size(folder / kDataFileName), std::uintmax_t(0));
}

TEST_CASE("loads more than 32,767 records")
{
    TempFolder folder;
    const fs::path dat = folder / kDataFileName;
    constexpr int n = 40000;
    std::mt19937 random(7);
    const std::vector<std::string> names{"Luis", "Ana", "Bea", "Álvaro", "Zoe", "ana"};
    std::string old;
    for (int i = 0; i < n; ++i)
        old += recordBytes("R" + std::to_string(i), names[random() % names.size()]);
    writeBytes(dat, old);
    ContactFile file(platform::systemFileSystem(), folder.path());
    CHECK_EQ(file.sortAndList().size(), std::size_t(n));
    const std::string now = readBytes(dat);
    REQUIRE_EQ(now.size(), old.size());
    for (std::size_t i = 1; i < std::size_t(n); ++i) {
        INFO("record ", i, " is out of order");
        REQUIRE(decodeCp1252(now.substr(i * 105 + 25, 20)) >= decodeCp1252(now.substr((i - 1) * 105 + 25, 20)));
    }
    CHECK(file.read(n - 1).has_value());
    CHECK(!file.read(n).has_value());
}

TEST_CASE("a full file takes no more contacts")
{
    // Sparse: the length of the most records a file may hold, without the bytes.
    TempFolder folder;
    const fs::path dat = folder / kDataFileName;
    writeBytes(dat, recordBytes("Primero", "Ana"));
    const std::uintmax_t full = kMaxRecords * kRecordSize;
    fs::resize_file(dat, full);
    ContactFile file(platform::systemFileSystem(), folder.path());
    const OpenFiles open(folder.path());
    try {
        file.append(persona("Nuevo", "Bea"));
        FAIL("a contact was added past the limit");
    } catch (const FileError &error) {
        CHECK_EQ(error.op(), FileOp::Write);
        CHECK(error.code() == std::errc::file_too_large);
    }
    CHECK_EQ(fs::file_size(dat), full);
    CHECK(!fs::exists(folder / kTempFileName));
    CHECK(open.released());
    CHECK(coretest::lockIsFree(folder / kLockFileName));
    CHECK_EQ(text(file.read(0)), recordBytes("Primero", "Ana"));
}

#ifdef __linux__
// A file that opens but cannot be examined (fstat fails: a failing disk or network
// file system) is an open error with the system's reason, and its descriptor is
// closed. Checked in a child whose fstat calls are made to fail with EIO.
TEST_CASE("a file that cannot be examined is an open error")
{
    TempFolder folder;
    const fs::path dat = folder / kDataFileName;
    writeBytes(dat, recordBytes("Primero", "Ana"));
    const pid_t child = ::fork();
    REQUIRE(child >= 0);
    if (child == 0) {
        sock_filter rules[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fstat, 3, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_newfstatat, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_statx, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(99);
        // The lowest free descriptor: the file's, if it is opened and then closed.
        const int lowest = ::open("/dev/null", O_RDONLY);
        ::close(lowest);
        int status = 1;
        try {
            platform::systemFileSystem().open(dat, FileSystem::OpenMode::ReadOnly);
        } catch (const FileError &error) {
            status = error.op() == FileOp::Open && error.code() == std::errc::io_error && error.path() == dat ? 0 : 2;
        }
        if (status == 0 && ::open("/dev/null", O_RDONLY) != lowest)
            status = 3;
        ::_exit(status);
    }
    int status = 0;
    REQUIRE_EQ(::waitpid(child, &status, 0), child);
    REQUIRE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 99) {
        MESSAGE("seccomp is not available here; not checked");
        return;
    }
    // 1: opened; 2: another error; 3: the descriptor was left open.
    CHECK_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST_CASE("removes and modifies")
{
    const std::vector<ChangeRow> rows = {
        {"remove first of three", "remove", 315, 0, false, true, {"R1", "R2"}},
        {"remove last of three", "remove", 315, 2, false, true, {"R0", "R1"}},
        {"remove the only one", "remove", 105, 0, false, true, {}},
        {"remove partial record", "remove", 263, 2, false, true, {"R0", "R1"}},
        {"remove stale", "remove", 315, 1, true, false, {"R0", "R1", "R2"}},
        {"remove past the end", "remove", 315, 3, false, false, {"R0", "R1", "R2"}},
        {"modify middle", "modify", 315, 1, false, true, {"R0", "R2", "Nuevo"}},
        {"modify stale", "modify", 315, 1, true, false, {"R0", "R1", "R2"}},
        {"modify, no file", "modify", -1, 0, false, false, {}},
    };
    eachRow(rows, [](const ChangeRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        const std::string old = numbered(3).substr(0, std::size_t(std::max(row.length, 0)));
        if (row.length >= 0)
            writeBytes(dat, old);
        writeStaleTemp(folder.path());
        ContactFile file(platform::systemFileSystem(), folder.path());
        Record shown = file.read(row.index).value_or(Record{});
        if (row.stale)
            shown[80] = '#';
        const OpenFiles open(folder.path());
        const bool done = row.command == "remove" ? file.remove(row.index, shown)
                                                  : file.modify(row.index, shown, persona("Nuevo", "Zoe"));
        CHECK_EQ(done, row.changed);
        CHECK(coretest::lockIsFree(folder / kLockFileName));
        CHECK(open.released());
        if (!row.changed) {
            CHECK_EQ(fs::exists(dat), row.length >= 0);
            CHECK_EQ(readBytes(dat), old);
            return;
        }
        std::vector<std::string> surnames;
        for (std::int64_t i = 0; auto record = file.read(i); ++i)
            surnames.emplace_back(trimSpaces(decode(*record).Apellido));
        CHECK_EQ(surnames, row.expected);
        CHECK_EQ(fs::file_size(dat), std::uintmax_t(row.expected.size()) * kRecordSize);
        CHECK(!fs::exists(folder / kTempFileName));
    });
}

TEST_CASE("a folder named like the data file is refused")
{
    TempFolder folder;
    fs::create_directory(folder / kDataFileName);
    ContactFile file(platform::systemFileSystem(), folder.path());
    CHECK_THROWS_AS(file.read(0), FileError);
    CHECK_THROWS_AS(file.sortAndList(), FileError);
}

TEST_CASE("a folder with accents and a euro sign")
{
    TempFolder folder(u8"Contactos Ñandú €");
    ContactFile file(platform::systemFileSystem(), folder.path());
    file.append(persona("Peña", "Luis"));
    file.append(persona("León", "Ana"));
    CHECK_EQ(file.sortAndList(), std::vector<std::string>{"León", "Peña"});
    CHECK_EQ(readBytes(folder / kDataFileName).substr(0, 4), std::string("Le\xF3n"));
}

TEST_CASE("the lock holds off another command until released")
{
    TempFolder folder;
    const fs::path dat = folder / kDataFileName;
    FileSystem &system = platform::systemFileSystem();
    const FileHandle held = system.lock(folder / kLockFileName);
    // The other command's calls, watched: it has asked for the lock, and whether that
    // call has returned.
    FaultyFileSystem watched;
    std::promise<void> asked;
    std::atomic<bool> askedOnce{false};
    std::atomic<bool> granted{false};
    watched.onCall(
        [&](std::uint64_t, FileOp op) {
            if (op == FileOp::Lock && !askedOnce.exchange(true))
                asked.set_value();
        },
        [&](std::uint64_t, FileOp op) {
            if (op == FileOp::Lock)
                granted = true;
        });
    std::thread other([&] { ContactFile(watched, folder.path()).append(persona("Espera", "Ana")); });
    // However late the thread starts, look only once it is at the lock, and give a
    // lock that does not hold a moment to let it through.
    asked.get_future().wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const bool waited = !granted && (!fs::exists(dat) || fs::file_size(dat) == 0);
    system.unlock(held);
    other.join();
    CHECK(waited);
    CHECK(granted);
    CHECK_EQ(fs::file_size(dat), std::uintmax_t(105));
}

struct HeldLockRow {
    std::string name;
    std::string command;
};

// Another copy's lock, taken through a handle of its own and held on past kLockWait:
// the command fails with the lock error and leaves the file as it was.
TEST_CASE("a lock held on: the command gives up, changing nothing")
{
    const std::vector<HeldLockRow> rows = {
        {"the add", "add"},
        {"the sort", "sort"},
        {"the modify", "modify"},
    };
    eachRow(rows, [](const HeldLockRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        // Out of order, so that the sort would write.
        const std::string old = recordBytes("R0", "Luis") + recordBytes("R1", "Ana");
        writeBytes(dat, old);
        FileSystem &system = platform::systemFileSystem();
        ContactFile file(system, folder.path());
        const Record first = file.read(0).value();
        const FileHandle held = system.lock(folder / kLockFileName);
        std::optional<FileError> failure;
        const auto started = std::chrono::steady_clock::now();
        std::thread other([&] {
            try {
                if (row.command == "add")
                    file.append(persona("Espera", "Zoe"));
                else if (row.command == "sort")
                    file.sortAndList();
                else
                    file.modify(0, first, persona("Otro", "Zoe"));
            } catch (const FileError &error) {
                failure = error;
            }
        });
        other.join();
        const auto waited = std::chrono::steady_clock::now() - started;
        system.unlock(held);
        REQUIRE(failure);
        CHECK_EQ(failure->op(), FileOp::Lock);
        CHECK(failure->code() == std::errc::timed_out);
        CHECK_EQ(failure->path(), folder / kLockFileName);
        CHECK(waited >= kLockWait);
        CHECK(readBytes(dat) == old);
        CHECK(!fs::exists(folder / kTempFileName));
        CHECK(coretest::lockIsFree(folder / kLockFileName));
    });
}
