// Vorteda for Windows: the native Win32 windows over the program's behaviour.
#include "forms/HandOver.h"
#include "platform/ContactsFolder.h"
#include "platform/System.h"
#include "platform/SystemFileSystem.h"
#include "win32/Dialogs.h"
#include "win32/HandOver.h"
#include "win32/Win32Program.h"

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <memory>
#include <optional>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Where this build keeps the contacts: the portable Vorteda.exe beside itself, an
    // installed build in %LOCALAPPDATA%\Vorteda. A folder that cannot be made is
    // reported by the window like any file error.
    platform::ContactsFileSystem files(platform::systemFileSystem(), platform::contactsFolder());
    const std::unique_ptr<platform::Registry> registry = platform::makeSystemRegistry();
    const std::unique_ptr<platform::Launcher> launcher = platform::makeSystemLauncher();

    // A file handed to the program ("Vorteda.exe agenda.vcf", "Abrir con"), read as
    // UTF-16 so that any name reaches it: it goes to a Vorteda.exe already running for
    // the same contacts, which brings its window forward, and this start ends;
    // otherwise it is imported once the main window is up.
    std::optional<std::filesystem::path> handed;
    int count = 0;
    if (LPWSTR *arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        if (count > 1) {
            handed = forms::handedOnCommandLine(arguments[1]);
        }
        LocalFree(arguments);
    }
    if (handed && win32::handToRunningProgram(forms::dataFileOf(files.folder()), *handed))
        return 0;

    win32::SystemDialogs dialogs;
    win32::Win32Program program(files, files.folder(), *registry, *launcher, dialogs);
    if (handed)
        program.program().importOnStart(*handed);
    return program.run();
}
