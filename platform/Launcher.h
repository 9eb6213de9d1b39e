#pragma once

#include <string>

namespace platform {

// Window styles for a started program, as Windows numbers them.
inline constexpr int kNormalFocus = 1;  // normal size, activated, with the focus

// Starting another program, and the file test that decides whether there is one.
class Launcher {
public:
    virtual ~Launcher() = default;

    // Whether an ordinary file is at `path`: not a folder, not hidden, not a system file.
    virtual bool isOrdinaryFile(const std::string &path) = 0;

    // Starts the program that `commandLine` names and returns at once, without
    // waiting for it. Throws std::system_error when nothing could be started.
    virtual void start(const std::string &commandLine, int windowStyle) = 0;
};

} // namespace platform
