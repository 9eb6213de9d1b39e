// Two copies of the program on one folder, as real processes: no update is lost,
// no command takes away another's contact, and a command waits for the other's
// lock rather than failing or interleaving, also when each reaches the data file
// through a link of its own.
#include "contacts/ContactFile.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/CoreTest.h"

#include <algorithm>
#include <memory>
#include <set>

using namespace contacts;
using coretest::eachRow;
using coretest::TempFolder;
namespace fs = std::filesystem;

namespace {

const std::string kStart = recordBytes("Inicial-0", "Luis") + recordBytes("Inicial-1", "Ana")
                           + recordBytes("Inicial-2", "Bea");

std::multiset<std::string> surnamesIn(const fs::path &dat)
{
    const std::string file = readBytes(dat);
    std::multiset<std::string> surnames;
    for (std::size_t at = 0; at + kRecordSize <= file.size(); at += kRecordSize)
        surnames.insert(std::string(trimSpaces(std::string_view(file).substr(at, kFieldWidths[0]))));
    return surnames;
}

std::vector<std::string> commandRow(const std::string &command)
{
    if (command == "sort")
        return {"sort"};
    if (command == "add")
        return {"append", "Nuevo", "Zoe"};
    if (command == "delete")
        return {"remove", "1"};
    return {"modify", "1", "Abel"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct CommandRow {
    std::string name;
    std::string command;
    bool linked = false;
    bool heldOn = false;  // the lock kept until the other copy gives up
};

} // namespace

TEST_CASE("concurrent commands lose nothing")
{
    TempFolder dir;
    const fs::path dat = dir / kDataFileName;
    writeBytes(dat, kStart);
    constexpr int kRounds = 60;
    std::vector<std::unique_ptr<ChildProcess>> copies;
    for (const char *id : {"A", "B", "C"})
        copies.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{driverPath(), dir.path().string(), "hammer", id, std::to_string(kRounds)}));
    std::multiset<std::string> expected;
    for (std::size_t at = 0; at < kStart.size(); at += kRecordSize)
        expected.insert(std::string(trimSpaces(std::string_view(kStart).substr(at, 25))));
    int owned = 0;
    for (const auto &process : copies) {
        REQUIRE(process->waitForFinished(120000));
        const std::string &out = process->standardOutput();
        INFO(out << process->standardError());
        REQUIRE((process->normalExit() && process->exitCode() == 0));
        REQUIRE(endsWith(out, "ok\n"));
        for (const std::string &line : lines(out)) {
            if (line.rfind("own ", 0) == 0) {
                expected.insert(line.substr(4));
                ++owned;
            }
        }
    }
    // Each copy keeps 60 adds less 12 deletes; a third of them were renamed.
    CHECK(owned == 3 * (kRounds - kRounds / 5));
    CHECK(surnamesIn(dat) == expected);
    // The contacts nobody touched are still there byte for byte.
    const std::string now = readBytes(dat);
    for (std::size_t at = 0; at < kStart.size(); at += kRecordSize)
        CHECK(now.find(kStart.substr(at, kRecordSize)) != std::string::npos);
}

// After each file call of a command, another process tries the folder's lock. The
// order: the data file's link is followed first, then the lock is taken, and it is
// held from there through the first read, the rename and the folder sync that
// makes the rename durable, up to the unlock, which is the last call.
TEST_CASE("the lock is held through every step")
{
    const std::vector<CommandRow> rows = {{"sort", "sort"}, {"add", "add"}, {"delete", "delete"}, {"modify", "modify"}};
    eachRow(rows, [](const CommandRow &row) {
        TempFolder dir;
        writeBytes(dir / kDataFileName, recordBytes("R0", "Luis") + recordBytes("R1", "Ana") + recordBytes("R2", "Bea"));
        const DriverRun run = runDriver(std::vector<std::string>{dir.path().string()} + commandRow(row.command)
                                        + std::vector<std::string>{"--probe-lock"});
        INFO(run.out);
        REQUIRE((run.finished && run.exitCode == 0));
        std::vector<std::string> probes;
        for (const std::string &line : lines(run.out)) {
            if (line.rfind("after ", 0) == 0)
                probes.push_back(line);
        }
        REQUIRE(probes.size() == run.steps.size());
        const auto indexOf = [&](FileOp op) {
            const auto found = std::find(run.steps.begin(), run.steps.end(), std::string(contacts::name(op)));
            return found == run.steps.end() ? -1 : int(found - run.steps.begin());
        };
        const int locked = indexOf(FileOp::Lock);
        const int firstRead = indexOf(FileOp::Read);
        const int renamed = indexOf(FileOp::Rename);
        const int synced = indexOf(FileOp::SyncFolder);
        const int unlocked = int(run.steps.size()) - 1;
        CAPTURE(run.steps);
        REQUIRE((locked >= 0 && locked < firstRead && firstRead < renamed && renamed < synced && synced < unlocked));
        REQUIRE(run.steps.back() == std::string(contacts::name(FileOp::Lock)));
        for (int i = 0; i < int(probes.size()); ++i) {
            const bool held = i >= locked && i < unlocked;
            INFO(probes[std::size_t(i)]);
            CHECK(endsWith(probes[std::size_t(i)], held ? ": lock held" : ": lock free"));
        }
    });
}

// While this process holds the lock, the other copy's command waits, touching
// nothing, and then does its whole work once. Linked: the data file is elsewhere,
// and this process holds the lock beside it, as a copy working through another link
// to it does; the command changes that file and leaves its own link a link. Held
// on: after waiting contacts::kLockWait the command fails with the lock error,
// having changed nothing.
TEST_CASE("a command waits for the other copy")
{
    std::vector<CommandRow> rows;
    for (const char *command : {"sort", "add", "delete", "modify"}) {
        rows.push_back({command, command, false});
        rows.push_back({std::string(command) + ", each copy through its own link to the file", command, true});
        rows.push_back({std::string(command) + ", held on by this process: fails, file untouched", command, false, true});
    }
    eachRow(rows, [](const CommandRow &row) {
        TempFolder dir;
        const fs::path programFolder = row.linked ? dir / "programa" : dir.path();
        const fs::path dataFolder = row.linked ? dir / "copia" : dir.path();
        const fs::path dat = dataFolder / kDataFileName;
        if (row.linked) {
            fs::create_directory(programFolder);
            fs::create_directory(dataFolder);
            fs::create_symlink("../copia/personas.dat", programFolder / kDataFileName);
        }
        const std::string old = recordBytes("R0", "Luis") + recordBytes("R1", "Ana") + recordBytes("R2", "Bea");
        writeBytes(dat, old);
        const FileHandle held = platform::systemFileSystem().lock(dataFolder / kLockFileName);
        ChildProcess other(std::vector<std::string>{driverPath(), programFolder.string()} + commandRow(row.command));
        REQUIRE(other.started());
        if (row.heldOn) {
            const auto started = std::chrono::steady_clock::now();
            REQUIRE(other.waitForFinished(30000));
            const auto waited = std::chrono::steady_clock::now() - started;
            platform::systemFileSystem().unlock(held);
            const std::string out = other.standardOutput();
            INFO(out);
            CHECK(other.exitCode() == 3);
            CHECK(out.rfind("error: lock", 0) == 0);
            CHECK(out.find(std::make_error_code(std::errc::timed_out).message()) != std::string::npos);
            // It waited its time (measured from its start here, so at most a little less).
            CHECK(waited >= contacts::kLockWait - std::chrono::milliseconds(100));
            CHECK(readBytes(dat) == old);
            CHECK(!fs::exists(dir / kTempFileName));
            return;
        }
        const bool stillWaiting = !other.waitForFinished(500);
        const bool untouched = readBytes(dat) == old && !fs::exists(dir / kTempFileName);
        platform::systemFileSystem().unlock(held);
        CHECK(stillWaiting);
        REQUIRE(other.waitForFinished(30000));
        CHECK(untouched);
        CHECK(other.exitCode() == 0);
        CHECK(other.standardOutput().rfind("ok\n", 0) == 0);
        const std::string now = readBytes(dat);
        CHECK(now != old);
        // The command ran once, on the file as it was.
        const std::size_t records = now.size() / kRecordSize;
        CHECK(records == std::size_t(row.command == "add" ? 4 : row.command == "delete" ? 2 : 3));
        if (row.linked) {
            CHECK(fs::is_symlink(programFolder / kDataFileName));
            CHECK(fs::read_symlink(programFolder / kDataFileName) == fs::path("../copia/personas.dat"));
            CHECK(std::distance(fs::directory_iterator(programFolder), fs::directory_iterator()) == 1);
        }
    });
}

namespace {

struct LinkRow {
    std::string name;
    std::string command;
    std::string target;  // where personas.dat leads
    std::string reason;  // in the message
};

} // namespace

// A data file that is a link the command cannot use is reported as the data file
// that cannot be opened, and nothing is created, replaced or locked.
TEST_CASE("a link to no data file changes nothing")
{
    std::vector<LinkRow> rows;
    // With the link leading nowhere the list is empty: there is nothing to delete.
    for (const char *command : {"sort", "add"})
        rows.push_back({std::string(command) + ", link to nothing", command, "copia/personas.dat",
                        std::make_error_code(std::errc::no_such_file_or_directory).message()});
    rows.push_back({"sort, link to itself", "sort", "personas.dat",
                    std::make_error_code(std::errc::too_many_symbolic_link_levels).message()});
    // The rewrite would delete the file it copies.
    for (const char *command : {"sort", "add", "delete", "modify"})
        rows.push_back({std::string(command) + ", link to personas.tmp", command, "personas.tmp",
                        std::make_error_code(std::errc::invalid_argument).message()});
    eachRow(rows, [](const LinkRow &row) {
        TempFolder dir;
        const fs::path link = dir / kDataFileName;
        const std::string contents = recordBytes("R0", "Luis") + recordBytes("R1", "Ana");
        if (row.target == "personas.tmp")
            writeBytes(dir / kTempFileName, contents);
        // The folder a dangling link names exists: opening the link to create the file
        // would make one there.
        fs::create_directory(dir / "copia");
        fs::create_symlink(row.target, link);
        const DriverRun run = runDriver(std::vector<std::string>{dir.path().string()} + commandRow(row.command));
        INFO(run.out);
        REQUIRE((run.finished && run.exitCode == 3));
        CHECK(run.out.find(link.string()) != std::string::npos);
        CHECK(run.out.find(row.reason) != std::string::npos);
        CHECK(fs::read_symlink(link) == fs::path(row.target));
        CHECK(fs::is_empty(dir / "copia"));
        CHECK(!fs::exists(dir / kLockFileName));
        if (row.target == "personas.tmp")
            CHECK(readBytes(dir / kTempFileName) == contents);
    });
}
