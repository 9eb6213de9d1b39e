#pragma once

#include "platform/Launcher.h"
#include "platform/TableRegistry.h"

#include <string>
#include <vector>

// The system layer on POSIX systems, which have no registry and no MSINFO32.EXE.
namespace platform::posix {

// System-information programs looked for, in order of preference.
const std::vector<std::string> &sysInfoPrograms();

// The full path of the first of `names` found as an executable ordinary file in a
// folder of `searchPath` (folders separated by ':'), or "" when none is.
std::string findProgram(const std::vector<std::string> &names, const std::string &searchPath);

// Puts the first system-information program of `searchPath` where Windows keeps the
// path of its own, as the "PATH" value of the MSINFO key; adds nothing when there
// is none, so that neither value exists.
void fillRegistry(TableRegistry &registry, const std::string &searchPath);

class PosixLauncher : public Launcher {
public:
    // Hidden means a name that begins with a dot.
    bool isOrdinaryFile(const std::string &path) override;
    // `commandLine` is the path of the program, started with no arguments. The program
    // is detached: it does not become a child of this process.
    void start(const std::string &commandLine, int windowStyle) override;
};

} // namespace platform::posix
