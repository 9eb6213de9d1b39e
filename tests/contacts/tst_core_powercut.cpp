// A power cut after every file call of every command that writes, on a disk that
// forgets what was never flushed or synced: after the reboot the data file holds the
// old or the new contents byte for byte, and the next list load and add work. A cut
// once the command has returned (the user was told it is done) keeps the new ones.
#include <doctest/doctest.h>

#include "contacts/ContactFile.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/PowerCutFileSystem.h"
#include "tests/support/RecordFiles.h"

#include <functional>
#include <string>
#include <vector>

using namespace contacts;
namespace fs = std::filesystem;
using Disk = PowerCutFileSystem::Disk;

namespace {

const fs::path kFolder = "/programa";
// Where a linked data file really is.
const fs::path kElsewhere = "/copia";

std::string numbered(const std::vector<std::string> &names)
{
    std::string file;
    for (std::size_t i = 0; i < names.size(); ++i) {
        // Not "R" + std::to_string(i): GCC 12 warns falsely on it (its bug 105329).
        std::string surname = "R";
        surname += std::to_string(i);
        file += recordBytes(surname, names[i]);
    }
    return file;
}

struct Command {
    std::string name;
    std::string before;
    std::function<void(ContactFile &)> run;
    std::string after;
};

std::vector<Command> commands()
{
    const std::string four = numbered({"Luis", "Ana", "Bea", "Ana"});
    const std::string sorted = numbered({"Ana", "Bea", "Luis"});
    const std::string added = recordBytes("Nuevo", "Zoe");
    const Record second = asRecord(four.substr(kRecordSize, kRecordSize));
    return {
        {"list load that reorders", four, [](ContactFile &file) { file.sortAndList(); }, swapSortLiterally(four)},
        {"add", sorted, [](ContactFile &file) { file.append(persona("Nuevo", "Zoe")); }, sorted + added},
        {"delete", four, [=](ContactFile &file) { REQUIRE(file.remove(1, second)); }, dropRecord(four, 1)},
        {"modify", four, [=](ContactFile &file) { REQUIRE(file.modify(1, second, persona("Nuevo", "Zoe"))); },
         dropRecord(four, 1) + added},
    };
}

struct Layout {
    std::string name;
    bool linked;     // personas.dat is a link to a file in another folder
    bool staleTemp;  // an interrupted rewrite left personas.tmp beside the data file
};

const Layout kLayouts[] = {
    {"plain", false, false},
    {"stale personas.tmp", false, true},
    {"personas.dat a link to another folder, stale personas.tmp there", true, true},
};

constexpr std::uint32_t kSeeds = 32;

// The disk after a cut, then the machine started again on it.
void checkAfterReboot(const Disk &disk, const Command &command, const Layout &layout, bool returned)
{
    const fs::path link = kFolder / kDataFileName;
    const fs::path target = (layout.linked ? kElsewhere : kFolder) / kDataFileName;
    if (layout.linked) {
        REQUIRE_MESSAGE(disk.links.count(link) == 1, "the link is gone");
        CHECK(disk.links.at(link) == target);
    }
    REQUIRE_MESSAGE(disk.files.count(target) == 1, "personas.dat is missing");
    const std::string left = disk.files.at(target);
    const bool isNew = left == command.after;
    REQUIRE_MESSAGE((left == command.before || isNew), "personas.dat is neither the old nor the new contents");
    if (returned)
        REQUIRE_MESSAGE(isNew, "a change reported as done was lost");

    // The next start: its list load sorts what is there, and an add goes in.
    PowerCutFileSystem next(disk);
    ContactFile file(next, kFolder);
    const std::string sorted = countedRecords(swapSortLiterally(left));
    CHECK(file.sortAndList().size() == sorted.size() / kRecordSize);
    CHECK(next.visible().files.at(target) == sorted);
    file.append(persona("Otro", "Eva"));
    const Disk now = next.visible();
    CHECK(now.files.at(target) == sorted + recordBytes("Otro", "Eva"));
    CHECK(now.files.count(target.parent_path() / kTempFileName) == 0);
    if (layout.linked)
        CHECK(now.links.count(link) == 1);
}

} // namespace

TEST_CASE("a power cut after any file call leaves the old or the new file")
{
    std::string summary;
    for (const Command &command : commands()) {
        for (const Layout &layout : kLayouts) {
            CAPTURE(command.name);
            CAPTURE(layout.name);
            Disk start;
            const fs::path folder = layout.linked ? kElsewhere : kFolder;
            start.files[folder / kDataFileName] = command.before;
            if (layout.linked)
                start.links[kFolder / kDataFileName] = kElsewhere / kDataFileName;
            if (layout.staleTemp)
                start.files[folder / kTempFileName] = std::string(333, 'X');

            // One run straight through counts the calls.
            PowerCutFileSystem straight(start);
            ContactFile plainFile(straight, kFolder);
            command.run(plainFile);
            REQUIRE(straight.visible().files.at(folder / kDataFileName) == command.after);
            const std::uint64_t calls = straight.calls();

            for (std::uint64_t n = 1; n <= calls; ++n) {
                for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
                    CAPTURE(n);
                    CAPTURE(seed);
                    PowerCutFileSystem disk(start);
                    disk.cutAfter(n, seed);
                    ContactFile file(disk, kFolder);
                    command.run(file);
                    REQUIRE(disk.afterCut().has_value());
                    // A cut after the last call is a cut after the command returned.
                    checkAfterReboot(*disk.afterCut(), command, layout, n == calls);
                }
            }
            summary += command.name + ", " + layout.name + ": " + std::to_string(calls) + " cut points\n";
        }
    }
    MESSAGE(summary << kSeeds << " seeds at each");
}
