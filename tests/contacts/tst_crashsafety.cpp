// Kills a real process at every file-system step of each command that writes, both
// right before and right after the step: the data file must always hold the old or
// the new contents, byte for byte, and the next run, in a fresh process, must work
// whatever the killed one left behind.
#include "contacts/ContactFile.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/CoreTest.h"

#include <algorithm>
#include <cerrno>
#include <set>

using namespace contacts;
using coretest::eachRow;
using coretest::TempFolder;
namespace fs = std::filesystem;

namespace {

// Records with serial surnames R0, R1, ... and these given names.
std::string numbered(const std::vector<std::string> &names)
{
    std::string file;
    for (std::size_t i = 0; i < names.size(); ++i)
        file += recordBytes("R" + std::to_string(i), names[i]);
    return file;
}

// The records as read: counted, a partial last one completed with spaces.
std::string asRead(std::string file)
{
    file.resize(std::size_t(recordCount(file.size())) * kRecordSize, ' ');
    return file;
}

std::string withoutRecord(const std::string &file, int index)
{
    std::string all = asRead(file);
    return all.erase(std::size_t(index) * kRecordSize, kRecordSize);
}

std::string renamed(const std::string &file, int index, const std::string &nombre)
{
    std::string record = asRead(file).substr(std::size_t(index) * kRecordSize, kRecordSize);
    Persona changed = decode(asRecord(record));
    changed.Nombre = nombre;
    const Record bytes = encode(changed);
    return withoutRecord(file, index) + std::string(bytes.data(), bytes.size());
}

std::string joined(const std::vector<std::string> &words)
{
    std::string out;
    for (const std::string &word : words)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

// What an interrupted rewrite may have left; none of it may reach the data file.
const std::string kStaleTemp = std::string(333, 'X');

struct KillRow {
    std::string name;
    std::vector<std::string> command;
    std::string before;
    std::string after;  // what the command writes when it gets through
    bool diskFull;      // its first write fails with ENOSPC, half landed
};

std::vector<KillRow> killRows()
{
    const std::string four = numbered({"Luis", "Ana", "Bea", "Ana"});
    const std::string partial = four + recordBytes("Parcial", "Abel").substr(0, 60);
    const std::string three = numbered({"Ana", "Bea", "Luis"});
    const std::string added = recordBytes("Nuevo", "Zoe");
    const std::vector<std::string> sort{"sort"};
    const std::vector<std::string> append{"append", "Nuevo", "Zoe"};
    const std::vector<std::string> remove{"remove", "1"};
    const std::vector<std::string> modify{"modify", "1", "Abel"};

    std::vector<KillRow> rows;
    for (const bool full : {false, true}) {
        const std::string suffix = full ? ", disk full" : "";
        rows.push_back({"list load that reorders" + suffix, sort, four, swapSortLiterally(four), full});
        rows.push_back({"list load, partial last record" + suffix, sort, partial,
                        asRead(swapSortLiterally(partial)), full});
        rows.push_back({"add" + suffix, append, three, three + added, full});
        rows.push_back({"add after a partial record" + suffix, append, three.substr(0, 263),
                        asRead(three.substr(0, 263)) + added, full});
        rows.push_back({"add after an uncounted tail" + suffix, append, three.substr(0, 262),
                        three.substr(0, 210) + added, full});
        rows.push_back({"delete" + suffix, remove, four, withoutRecord(four, 1), full});
        rows.push_back({"modify" + suffix, modify, four, renamed(four, 1, "Abel"), full});
    }
    return rows;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_CASE("killed at any step leaves the old or the new file")
{
    eachRow(killRows(), [](const KillRow &row) {
        const std::string &old = row.before;
        const std::string &changed = row.after;
        const bool diskFull = row.diskFull;
        TempFolder dir;
        const fs::path folder = dir.path();
        const fs::path dat = folder / kDataFileName;
        const fs::path tmp = folder / kTempFileName;
        const std::vector<std::string> base = std::vector<std::string>{folder.string()} + row.command;

        // One run straight through, to learn the steps of the command.
        writeBytes(dat, old);
        writeBytes(tmp, kStaleTemp);
        const DriverRun reference = runDriver(base);
        INFO(reference.out);
        REQUIRE((reference.finished && reference.exitCode == 0));
        REQUIRE(readBytes(dat) == changed);
        const std::set<std::string> taken(reference.steps.begin(), reference.steps.end());
        for (const FileOp op : {FileOp::Lock, FileOp::Open, FileOp::Read, FileOp::Write, FileOp::Flush,
                                FileOp::Close, FileOp::Rename})
            REQUIRE_MESSAGE(taken.count(contacts::name(op)), contacts::name(op));

        std::vector<std::string> fault;
        DriverRun plan = reference;
        if (diskFull) {
            const auto write = std::find(reference.steps.begin(), reference.steps.end(),
                                         std::string(contacts::name(FileOp::Write)));
            fault = {"--fail-at", std::to_string(write - reference.steps.begin() + 1), std::to_string(ENOSPC)};
            writeBytes(dat, old);
            writeBytes(tmp, kStaleTemp);
            plan = runDriver(base + fault);
            INFO(plan.out);
            REQUIRE((plan.finished && plan.exitCode == 3));
            REQUIRE(plan.out.find("No space left on device") != std::string::npos);
            REQUIRE(readBytes(dat) == old);
        }

        int stops = 0;
        for (const char *when : {"--kill-before", "--kill-after"}) {
            for (int n = 1;; ++n) {
                REQUIRE(n < 200);
                const std::string at = std::string(when) + ' ' + std::to_string(n);
                CAPTURE(at);
                writeBytes(dat, old);
                writeBytes(tmp, kStaleTemp);
                const DriverRun killed = runDriver(base + fault + std::vector<std::string>{when, std::to_string(n)});
                if (killed.finished) {
                    // The command took fewer than n steps and ran to its end.
                    REQUIRE(std::size_t(n) == plan.steps.size() + 1);
                    REQUIRE(killed.exitCode == (diskFull ? 3 : 0));
                    REQUIRE(readBytes(dat) == (diskFull ? old : changed));
                    break;
                }
                ++stops;
                REQUIRE(fs::exists(dat));
                const std::string left = readBytes(dat);
                const bool isNew = left == changed && !diskFull;
                REQUIRE_MESSAGE((left == old || isNew), "left a mixed file");
                for (const auto &entry : fs::directory_iterator(folder)) {
                    const auto name = entry.path().filename();
                    INFO(name.string());
                    REQUIRE((name == kDataFileName || name == kTempFileName || name == kLockFileName));
                }

                // The next run, a fresh process, finds a working folder.
                const DriverRun next = runDriver(std::vector<std::string>{folder.string()}
                                                 + (isNew ? std::vector<std::string>{"sort"} : row.command));
                INFO(next.out);
                REQUIRE((next.finished && next.exitCode == 0));
                const std::string expected = isNew ? asRead(swapSortLiterally(changed)) : changed;
                REQUIRE_MESSAGE(readBytes(dat) == expected, "the next run went wrong");
            }
        }
        REQUIRE(stops == 2 * int(plan.steps.size()));
        MESSAGE(row.name << ": " << plan.steps.size() << " steps (" << joined(plan.steps) << "), " << stops
                         << " stop points, all held");
    });
}
