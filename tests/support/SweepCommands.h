#pragma once

// The fault sweep, shared by the one over the POSIX file layer and the one over the
// Windows file layer: the commands, and the failing of their calls one by one.
#include "contacts/ContactFile.h"
#include "exchange/Import.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordFiles.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// Records R0, R1, ... with these given names.
inline std::string numbered(const std::vector<std::string> &names)
{
    std::string file;
    for (std::size_t i = 0; i < names.size(); ++i)
        file += recordBytes("R" + std::to_string(i), names[i]);
    return file;
}

// Runs `command` on the file `old` in `folder` and describes its result, so that
// runs can be compared.
inline std::string runSweepCommand(const std::string &command, contacts::FileSystem &fileSystem,
                                   const std::filesystem::path &folder, const std::string &old)
{
    using namespace contacts;
    ContactFile file(fileSystem, folder);
    if (command == "sort") {
        std::string list;
        for (const auto &surname : file.sortAndList())
            list += surname + ",";
        return list;
    }
    if (command == "append") {
        file.append(persona("Nuevo", "Zoe"));
        return "appended";
    }
    if (command == "export") {
        // Over an older export: it must stay whole until the new one takes its place,
        // and nothing may be left beside it.
        const auto destination = folder / "agenda.csv";
        const auto temp = folder / ".agenda.csv.tmp";
        writeBytes(destination, "antes");
        try {
            const auto count = exchange::exportContacts(file, exchange::Format::Csv, destination);
            return "exported " + std::to_string(count) + ": " + readBytes(destination);
        } catch (const FileError &) {
            if (readBytes(destination) != "antes")
                return "the older export was harmed";
            if (std::filesystem::exists(temp))
                return "the export's temporary file is left behind";
            throw;
        }
    }
    if (command == "append many") {
        file.appendAll({encode(persona("Nuevo", "Zoe")), encode(persona("Otro", "Abel"))});
        return "appended";
    }
    const Record second = asRecord(old.substr(kRecordSize));
    Record stale = second;
    stale[0] = '#';
    if (command == "remove")
        return file.remove(1, second) ? "removed" : "kept";
    if (command == "remove stale")
        return file.remove(1, stale) ? "removed" : "kept";
    return file.modify(1, second, persona("Nuevo", "Zoe")) ? "modified" : "kept";
}

// What the sweep asks of the platform it runs on.
struct SweepProbes {
    std::function<bool()> lockIsFree;
    std::function<void()> beforeRun;        // notes what is open before a run
    std::function<bool()> handlesReleased;  // nothing more is open after it
};

// Makes each file call of `command` fail in turn, on a file of the first `length`
// bytes of four records, until the command gets through. `commit` is the call that
// puts the change in place (-1: none). The data file must always hold the old or the
// new contents whole, nothing may stay open or locked, and a failure must leave
// nothing behind that stops the next try. Returns the first rule broken, or nothing.
inline std::string sweepEveryCall(const std::string &command, std::size_t length, int commit,
                                  const std::filesystem::path &folder, const SweepProbes &probes)
{
    using namespace contacts;
    const std::string old = numbered({"Luis", "Ana", "Bea", "Ana"}).substr(0, length);
    const auto dat = folder / kDataFileName;
    const auto tmp = folder / kTempFileName;

    writeBytes(dat, old);
    const std::string result = runSweepCommand(command, platform::systemFileSystem(), folder, old);
    const std::string changed = readBytes(dat);

    int failures = 0;
    for (std::uint64_t n = 1; n < 100; ++n) {
        writeBytes(dat, old);
        probes.beforeRun();
        FaultyFileSystem faulty;
        faulty.failAt(n);
        bool failed = false;
        const std::string at = "call " + std::to_string(n) + ": ";
        try {
            if (runSweepCommand(command, faulty, folder, old) != result)
                return at + "another result";
        } catch (const FileError &) {
            failed = true;
            ++failures;
        }
        if (!probes.lockIsFree())
            return at + "the lock is still held";
        if (!probes.handlesReleased())
            return at + "a file stays open";
        if (std::filesystem::exists(tmp))
            return at + "personas.tmp is left behind";
        const auto &log = faulty.log();
        if (!failed) {
            if (readBytes(dat) != changed)
                return at + "no failure reported, yet the file is not the new one";
            if (faulty.calls() < n)
                return failures >= 5 ? std::string() : "too few calls failed";
            // A failure is kept from the user only once the change is in place: syncing
            // the folder after the rename, or letting go of the lock at the very end.
            const FileOp hit = log[n - 1];
            if (!(hit == FileOp::SyncFolder || (hit == FileOp::Lock && n == faulty.calls())))
                return at + "a failure went unreported";
            continue;
        }
        const auto end = log.begin() + std::ptrdiff_t(n - 1);
        const bool committed = std::find(log.begin(), end, FileOp(commit)) != end;
        if (readBytes(dat) != (committed ? changed : old))
            return at + "the file is neither old nor new as it should be";
        if (!committed) {
            if (runSweepCommand(command, platform::systemFileSystem(), folder, old) != result || readBytes(dat) != changed)
                return at + "the next try does not get through";
        }
    }
    return "the command never succeeds";
}
