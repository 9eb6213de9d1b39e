// Makes each file call of a command fail in turn: the data file must always hold
// either the old or the new complete contents, and nothing may stay open or locked.
#include "tests/support/CoreTest.h"
#include "contacts/ContactFile.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/SweepCommands.h"

#include <optional>

using namespace contacts;
using coretest::eachRow;
using coretest::OpenFiles;
using coretest::TempFolder;
namespace fs = std::filesystem;

namespace {

struct SweepRow {
    std::string name;
    std::string command;
    std::size_t length;  // of the starting file
    int commit;          // the call that puts the change in place; -1: none
};

struct DiskRow {
    std::string name;
    FileOp op;
    std::string left;  // the file afterwards; the handle is always closed
};

} // namespace

TEST_CASE("every failure leaves the old or the new file")
{
    const std::vector<SweepRow> rows = {
        {"sort", "sort", 420, int(FileOp::Rename)},
        {"append", "append", 420, int(FileOp::Rename)},
        {"append after uncounted tail", "append", 367, int(FileOp::Rename)},
        {"append after partial record", "append", 368, int(FileOp::Rename)},
        {"append many after partial record", "append many", 368, int(FileOp::Rename)},
        {"remove", "remove", 420, int(FileOp::Rename)},
        {"modify", "modify", 420, int(FileOp::Rename)},
        {"remove stale", "remove stale", 420, -1},
        {"export over an older one", "export", 420, int(FileOp::Rename)},
    };
    eachRow(rows, [](const SweepRow &row) {
        TempFolder folder;
        std::optional<OpenFiles> open;
        const SweepProbes probes{[&] { return coretest::lockIsFree(folder / kLockFileName); },
                                 [&] { open.emplace(folder.path()); }, [&] { return open->released(); }};
        const std::string broken = sweepEveryCall(row.command, row.length, row.commit, folder.path(), probes);
        CHECK_MESSAGE(broken.empty(), broken);
    });
}

// The sweep is only as good as its faults: check they behave as described.
TEST_CASE("injected faults fail like a real disk")
{
    const std::vector<DiskRow> rows = {
        {"write lands half", FileOp::Write, "0123abcd89"},
        {"flush does nothing", FileOp::Flush, "0123456789"},
        {"close still closes", FileOp::Close, "0123456789"},
    };
    eachRow(rows, [](const DiskRow &row) {
        TempFolder folder;
        const fs::path path = folder / "f";
        writeBytes(path, "0123456789");
        const OpenFiles open(folder.path());
        FaultyFileSystem faulty;
        const FileHandle file = faulty.open(path, FileSystem::OpenMode::ReadWrite);
        // The crash driver stops the process or probes the lock around a call, a failed
        // one included.
        std::vector<std::string> hooked;
        const auto note = [&](const char *when) {
            return [&hooked, when](std::uint64_t call, FileOp op) {
                hooked.push_back(when + std::to_string(call) + " " + contacts::name(op));
            };
        };
        faulty.onCall(note("before "), note("after "));
        faulty.failAt(1, std::errc::no_space_on_device);
        bool failed = false;
        try {
            switch (row.op) {
            case FileOp::Write: faulty.write(file, 4, "abcdefgh", 8); break;
            case FileOp::Flush: faulty.flush(file); break;
            default: faulty.close(file); break;
            }
        } catch (const FileError &error) {
            failed = true;
            CHECK_EQ(error.op(), row.op);
            CHECK_EQ(error.path(), path);
            CHECK_EQ(error.code(), std::make_error_code(std::errc::no_space_on_device));
        }
        CHECK(failed);
        const std::string call = std::string("2 ") + contacts::name(row.op);
        CHECK_EQ(hooked, std::vector<std::string>{"before " + call, "after " + call});
        CHECK_EQ(coretest::isOpen(path), row.op != FileOp::Close);
        if (row.op != FileOp::Close)
            faulty.close(file);
        CHECK(!coretest::isOpen(path));
        CHECK(open.released());
        CHECK_EQ(readBytes(path), row.left);
        CHECK_EQ(faulty.calls(), std::uint64_t(row.op == FileOp::Close ? 2 : 3));
    });
}
