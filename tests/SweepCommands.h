#pragma once

// The commands that the fault sweeps fail call by call, shared by the sweep over the
// POSIX file layer and the one over the Windows file layer.
#include "ContactFile.h"
#include "RecordFiles.h"

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
    const Record second = asRecord(old.substr(kRecordSize));
    Record stale = second;
    stale[0] = '#';
    if (command == "remove")
        return file.remove(1, second) ? "removed" : "kept";
    if (command == "remove stale")
        return file.remove(1, stale) ? "removed" : "kept";
    return file.modify(1, second, persona("Nuevo", "Zoe")) ? "modified" : "kept";
}
