#pragma once

#include "forms/Program.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace contacts {
class FileSystem;
}

namespace platform {
class Launcher;
class Registry;
} // namespace platform

namespace win32 {

class AboutWindow;
class Dialogs;
class PersonasWindow;
class SplashWindow;
class Window;

// Vorteda.exe's root: owned by WinMain, it holds the three windows and the program's
// state, makes the windows when the program's rules (forms::Program) ask for them,
// and runs the message loop.
class Win32Program : public forms::ProgramView {
public:
    // The windows find their contacts in `folder` through `fs`, System Info through
    // `registry` and `launcher`, and show their file dialogs, questions and waits
    // through `dialogs`.
    Win32Program(contacts::FileSystem &fs, std::filesystem::path folder, platform::Registry &registry,
                 platform::Launcher &launcher, Dialogs &dialogs);
    ~Win32Program() override;
    Win32Program(const Win32Program &) = delete;
    Win32Program &operator=(const Win32Program &) = delete;

    // Shows the splash and runs the message loop until the program ends; returns
    // the program's exit status.
    int run();

    forms::Program &program() { return m_program; }
    Dialogs &dialogs() { return m_dialogs; }

    // What a window tells the root when the system has destroyed it.
    void windowDestroyed(forms::Window window);
    // A modal message over the active window of the program.
    void showMessageOver(HWND owner, const std::string &text);
    // A window's answer to WM_COPYDATA: a file handed by a second start of the
    // program for the same contacts (win32/HandOver.h).
    LRESULT takeHandedFile(LPARAM copyData);

    // forms::ProgramView
    void openWindow(forms::Window window) override;
    void raiseWindow(forms::Window window) override;
    void closeWindows() override;
    void endEventLoop() override;
    void showMessage(const std::string &text) override;
    void importInMainWindow(const std::filesystem::path &file) override;

private:
    std::unique_ptr<Window> &slot(forms::Window window);
    HWND handleOf(forms::Window window);
    // Whether the loop drops `msg`: the key that ended the splash, repeated or let go.
    bool swallowed(const MSG &msg);

    contacts::FileSystem &m_fs;
    std::filesystem::path m_folder;
    std::filesystem::path m_dataFile; // as a second start names it
    platform::Registry &m_registry;
    platform::Launcher &m_launcher;
    Dialogs &m_dialogs;
    HACCEL m_accelerators = nullptr;
    std::unique_ptr<Window> m_windows[3];
    // Windows the system has destroyed, deleted by the loop once their handlers
    // have returned.
    std::vector<std::unique_ptr<Window>> m_closed;
    forms::Program m_program;
};

} // namespace win32
