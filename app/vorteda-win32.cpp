// Vorteda for Windows: the native Win32 windows over the program's behaviour.
#include "platform/SystemFileSystem.h"
#include "win32/AboutWindow.h"
#include "win32/Common.h"
#include "win32/PersonasWindow.h"
#include "win32/SplashWindow.h"
#include "contacts/FileSystem.h"
#include "platform/ContactsFolder.h"
#include "platform/System.h"

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

    win32::SplashWindow::open([&] {
        win32::PersonasWindow::open(files, files.folder(),
                                    {[&] { win32::AboutWindow::show(*registry, *launcher); },
                                     [] { win32::lifetime::quit(); }});
    });

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (win32::swallowed(msg))
            continue;
        HWND main = win32::PersonasWindow::handle();
        if (main != nullptr && (msg.hwnd == main || IsChild(main, msg.hwnd))
            && TranslateAcceleratorW(main, win32::PersonasWindow::accelerators(), &msg))
            continue;
        HWND about = win32::AboutWindow::handle();
        if (about != nullptr && IsDialogMessageW(about, &msg))
            continue;
        if (main != nullptr && IsDialogMessageW(main, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
