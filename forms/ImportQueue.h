#pragma once

#include <filesystem>

namespace forms {

// Where the files for the contacts window's import wait while the window cannot take
// them: dropped or handed over during an import, an export or a job of the window, or
// handed to the program before the window is up or while a handler runs. One queue, in
// the order the files came; the program (Program) keeps it.
class ImportQueue {
public:
    virtual ~ImportQueue() = default;

    // A file for the window's import, to come back through frmPersonas::importFile
    // once the window is free.
    virtual void importWhenIdle(std::filesystem::path file) = 0;
    // The window has no import, export or job under way: what waits may come now.
    virtual void windowIdle() = 0;
};

} // namespace forms
