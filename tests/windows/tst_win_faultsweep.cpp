// Makes each file call of a command fail in turn, over the Windows file layer: the
// data file must always hold either the old or the new complete contents, and
// nothing may stay open or locked.
#include "tests/windows/Check.h"
#include "contacts/ContactFile.h"
#include "tests/FaultyFileSystem.h"
#include "tests/RecordFiles.h"
#include "tests/SweepCommands.h"
#include "tests/windows/WinTestSupport.h"

#include <algorithm>

using namespace contacts;
namespace fs = std::filesystem;
using wintest::TempFolder;

namespace {

struct SweepRow {
    std::string name;
    std::string command;
    std::size_t length;  // of the starting file
    int commit;          // the call that puts the change in place; -1: none
};

const std::vector<SweepRow> kSweeps = {
    {"sort", "sort", 420, int(FileOp::Rename)},
    {"append", "append", 420, int(FileOp::Rename)},
    {"append after uncounted tail", "append", 367, int(FileOp::Rename)},
    {"append after partial record", "append", 368, int(FileOp::Rename)},
    {"remove", "remove", 420, int(FileOp::Rename)},
    {"modify", "modify", 420, int(FileOp::Rename)},
    {"remove stale", "remove stale", 420, -1},
};

struct DiskRow {
    std::string name;
    FileOp op;
    std::string left;  // the file afterwards; the handle is always closed
};

const std::vector<DiskRow> kDisk = {
    {"write lands half", FileOp::Write, "0123abcd89"},
    {"flush does nothing", FileOp::Flush, "0123456789"},
    {"close still closes", FileOp::Close, "0123456789"},
};

} // namespace

int main(int argc, char **argv)
{
    check::Suite suite(argc, argv);

    suite.table("every failure leaves the old or the new file", kSweeps, [](const SweepRow &row) {
        TempFolder folder;
        const fs::path dat = folder / kDataFileName;
        const SweepProbes probes{[&] { return wintest::lockIsFree(folder / kLockFileName); }, [] {},
                                 [&] { return !wintest::isOpenSomewhere(dat); }};
        const std::string broken = sweepEveryCall(row.command, row.length, row.commit, folder.path(), probes);
        CHECK_MSG(broken.empty(), broken);
    });

    // The sweep is only as good as its faults: check they behave as described.
    suite.table("injected faults fail like a real disk", kDisk, [](const DiskRow &row) {
        TempFolder folder;
        const fs::path path = folder / "f";
        writeBytes(path, "0123456789");
        FaultyFileSystem faulty(systemFileSystem());
        const FileHandle file = faulty.open(path, FileSystem::OpenMode::ReadWrite);
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
        }
        CHECK(failed);
        CHECK(wintest::isOpenSomewhere(path) == (row.op != FileOp::Close));
        if (row.op != FileOp::Close)
            faulty.close(file);
        CHECK(!wintest::isOpenSomewhere(path));
        CHECK_EQ(readBytes(path), row.left);
        CHECK_EQ(faulty.calls(), std::uint64_t(row.op == FileOp::Close ? 2 : 3));
    });

    return suite.finish();
}
