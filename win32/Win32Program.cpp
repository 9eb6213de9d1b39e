#include "win32/Win32Program.h"

#include "forms/HandOver.h"

#include "win32/AboutWindow.h"
#include "win32/Common.h"
#include "win32/ControlIds.h"
#include "win32/HandOver.h"
#include "win32/PersonasWindow.h"
#include "win32/SplashWindow.h"
#include "wording/Messages.h"

namespace win32 {

namespace {

std::size_t index(forms::Window window)
{
    return static_cast<std::size_t>(window);
}

UINT scanCode(LPARAM keyData)
{
    return static_cast<UINT>((keyData >> 16) & 0x1FF);
}

} // namespace

Win32Program::Win32Program(contacts::FileSystem &fs, std::filesystem::path folder, platform::Registry &registry,
                           platform::Launcher &launcher, Dialogs &dialogs)
    : m_fs(fs), m_folder(std::move(folder)), m_dataFile(forms::dataFileOf(m_folder)), m_registry(registry), m_launcher(launcher), m_dialogs(dialogs),
      m_program(*this)
{
    // F4 and F1 act in the main window whether its menu is open or not.
    ACCEL keys[2] = {{FVIRTKEY, VK_F4, kMnuSalir}, {FVIRTKEY, VK_F1, kMnuAbout}};
    m_accelerators = CreateAcceleratorTableW(keys, 2);
}

Win32Program::~Win32Program()
{
    for (std::unique_ptr<Window> &window : m_windows) {
        if (window && window->handle() != nullptr)
            DestroyWindow(window->handle());
    }
    m_closed.clear();
    if (m_accelerators != nullptr)
        DestroyAcceleratorTable(m_accelerators);
}

std::unique_ptr<Window> &Win32Program::slot(forms::Window window)
{
    return m_windows[index(window)];
}

HWND Win32Program::handleOf(forms::Window window)
{
    const std::unique_ptr<Window> &open = slot(window);
    return open ? open->handle() : nullptr;
}

int Win32Program::run()
{
    m_program.start();
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Every handler has returned here: the windows that went can go.
        m_closed.clear();
        if (swallowed(msg))
            continue;
        HWND main = handleOf(forms::Window::Personas);
        if (main != nullptr && (msg.hwnd == main || IsChild(main, msg.hwnd))
            && TranslateAcceleratorW(main, m_accelerators, &msg))
            continue;
        HWND about = handleOf(forms::Window::About);
        if (about != nullptr && IsDialogMessageW(about, &msg))
            continue;
        if (main != nullptr && IsDialogMessageW(main, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    m_closed.clear();
    return static_cast<int>(msg.wParam);
}

bool Win32Program::swallowed(const MSG &msg)
{
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // Bit 30: the key was already down, so this is an auto-repeat.
        return m_program.swallowsKey(static_cast<int>(scanCode(msg.lParam)),
                                     (msg.lParam & (1 << 30)) != 0 ? forms::KeyEvent::Repeat : forms::KeyEvent::Press,
                                     msg.time);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return m_program.swallowsKey(static_cast<int>(scanCode(msg.lParam)), forms::KeyEvent::Release, msg.time);
    default:
        return false;
    }
}

void Win32Program::openWindow(forms::Window window)
{
    std::unique_ptr<Window> &open = slot(window);
    if (open)
        m_closed.push_back(std::move(open));
    try {
        // Held by the root before it opens, so that a window the system destroys at
        // once is still deleted only after its handlers have returned.
        const auto make = [&open](auto made) {
            auto &view = *made;
            open = std::move(made);
            view.open();
        };
        switch (window) {
        case forms::Window::Splash:
            make(std::make_unique<SplashWindow>(*this));
            break;
        case forms::Window::Personas:
            make(std::make_unique<PersonasWindow>(*this, m_fs, m_folder));
            break;
        case forms::Window::About:
            make(std::make_unique<AboutWindow>(*this, m_registry, m_launcher));
            break;
        }
    } catch (const WindowCreationFailed &) {
        // Without its windows the program cannot go on; what it saved is safe.
        if (open && open->handle() != nullptr)
            DestroyWindow(open->handle());
        showMessageOver(nullptr, wording::kWindowFailed);
        m_program.quit();
    }
}

void Win32Program::raiseWindow(forms::Window window)
{
    if (HWND open = handleOf(window)) {
        if (IsIconic(open))
            ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
    }
}

void Win32Program::closeWindows()
{
    // Without further events or questions: every command has already written the file.
    for (forms::Window window : {forms::Window::About, forms::Window::Personas, forms::Window::Splash}) {
        if (HWND open = handleOf(window))
            DestroyWindow(open);
    }
}

void Win32Program::endEventLoop()
{
    PostQuitMessage(0);
}

void Win32Program::showMessage(const std::string &text)
{
    showMessageOver(GetActiveWindow(), text);
}

void Win32Program::showMessageOver(HWND owner, const std::string &text)
{
    win32::showMessage(owner, text);
}

LRESULT Win32Program::takeHandedFile(LPARAM copyData)
{
    return win32::takeHandedFile(m_program, m_dataFile, copyData);
}

void Win32Program::importInMainWindow(const std::filesystem::path &file)
{
    // Once the splash's handler has returned and the window is up.
    if (auto *main = dynamic_cast<PersonasWindow *>(slot(forms::Window::Personas).get()))
        main->importLater(file);
}

void Win32Program::windowDestroyed(forms::Window window)
{
    std::unique_ptr<Window> &open = slot(window);
    if (open)
        m_closed.push_back(std::move(open));
    m_program.windowClosed(window);
}

void Window::destroyed()
{
    m_root.windowDestroyed(m_which);
}

void Window::unexpectedError(std::exception_ptr error)
{
    m_root.program().unexpectedError(error);
}

} // namespace win32
