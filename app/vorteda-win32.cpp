// Vorteda for Windows: the native Win32 windows over the program's behaviour.
#include "platform/ContactsFolder.h"
#include "platform/System.h"
#include "platform/SystemFileSystem.h"
#include "win32/Win32Program.h"

#include <windows.h>

#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Where this build keeps the contacts: the portable Vorteda.exe beside itself, an
    // installed build in %LOCALAPPDATA%\Vorteda. A folder that cannot be made is
    // reported by the window like any file error.
    platform::ContactsFileSystem files(platform::systemFileSystem(), platform::contactsFolder());
    const std::unique_ptr<platform::Registry> registry = platform::makeSystemRegistry();
    const std::unique_ptr<platform::Launcher> launcher = platform::makeSystemLauncher();

    win32::Win32Program program(files, files.folder(), *registry, *launcher);
    return program.run();
}
