// Vorteda.exe's contacts window on a large address book, under Wine or Windows: the
// load of the window (the list load included) to a window that answers, and each
// editing command until the window answers again, with the process's peak memory.
//
//   vorteda_bench_win32 [record counts...]      (default: 0 100000 1000000)
//
// The records are in given-name order, as a list load leaves them. A benchmark, not
// a test: it prints a table and checks nothing beyond the list's length.
#include "contacts/ContactFile.h"
#include "contacts/Persona.h"
#include "platform/Launcher.h"
#include "platform/SystemFileSystem.h"
#include "platform/TableRegistry.h"
#include "win32/ControlIds.h"
#include "win32/Dialogs.h"
#include "win32/Win32Program.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class NoLauncher : public platform::Launcher {
public:
    bool isOrdinaryFile(const std::string &) override { return false; }
    void start(const std::string &, int) override {}
};

void writeContacts(const fs::path &file, std::size_t count)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < count; ++i) {
        char given[21];
        char surname[26];
        std::snprintf(given, sizeof given, "Nombre%09zu", i);
        std::snprintf(surname, sizeof surname, "Apellido%07zu", (i * 7919) % (count == 0 ? 1 : count));
        const contacts::Record record =
            contacts::encode(contacts::Persona{surname, given, "Calle Mayor 1", "600111222", "correo@example.org"});
        out.write(reinterpret_cast<const char *>(record.data()), static_cast<std::streamsize>(record.size()));
    }
}

// Until every message now waiting has been handled and the window has painted.
void settle()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double seconds(const std::function<void()> &step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    settle();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double peakMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

HWND control(HWND window, int id)
{
    return GetDlgItem(window, id);
}

void press(HWND window, int id)
{
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(window, id)));
}

// As a click on the entry does.
void select(HWND window, int index)
{
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(control(window, win32::kList1), LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&state));
}

int run(std::size_t count)
{
    const fs::path folder = fs::temp_directory_path() / ("vorteda-bench-win32-" + std::to_string(count));
    fs::remove_all(folder);
    fs::create_directories(folder);
    writeContacts(folder / contacts::kDataFileName, count);

    platform::TableRegistry registry;
    NoLauncher launcher;
    win32::SystemDialogs dialogs;
    win32::Win32Program program(platform::systemFileSystem(), folder, registry, launcher, dialogs);
    HWND window = nullptr;
    const double load = seconds([&] {
        program.openWindow(forms::Window::Personas);
        window = FindWindowW(win32::kPersonasClass, nullptr);
    });
    if (window == nullptr) {
        std::fprintf(stderr, "no contacts window\n");
        return 1;
    }
    const auto entries = [&] { return SendMessageW(control(window, win32::kList1), LVM_GETITEMCOUNT, 0, 0); };
    const double add = seconds([&] {
        SetWindowTextW(control(window, win32::kText1), L"Zzz");
        SetWindowTextW(control(window, win32::kText1 + 1), L"Zzz");
        press(window, win32::kCmdButton + 0);
    });
    const bool added = entries() == static_cast<LRESULT>(count + 1);
    select(window, static_cast<int>(count / 2));
    const double modify = seconds([&] {
        SetWindowTextW(control(window, win32::kText1 + 2), L"Calle Nueva 2");
        press(window, win32::kCmdButton + 1);
    });
    select(window, static_cast<int>(count / 2));
    const double remove = seconds([&] { press(window, win32::kCmdButton + 2); });
    const bool removed = entries() == static_cast<LRESULT>(count);
    std::printf("%10zu %10.2f %10.2f %10.2f %10.2f %12.0f%s\n", count, load, add, modify, remove, peakMiB(),
                added && removed ? "" : "  (the list did not follow)");
    program.closeWindows();
    settle();
    fs::remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // "COUNT --one": one count, in this process, without the header.
    if (argc == 3 && std::string(argv[2]) == "--one")
        return run(static_cast<std::size_t>(std::strtoull(argv[1], nullptr, 10)));
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(static_cast<std::size_t>(std::strtoull(argv[i], nullptr, 10)));
    if (counts.empty())
        counts = {0, 100000, 1000000};
    std::printf("%10s %10s %10s %10s %10s %12s\n", "contacts", "load (s)", "add (s)", "modify (s)", "delete (s)",
                "peak (MiB)");
    std::fflush(stdout);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (std::size_t count : counts) {
        // Each count in a process of its own, so that its peak memory is its own.
        std::wstring command = L"\"" + std::wstring(self) + L"\" " + std::to_wstring(count) + L" --one";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
            return 1;
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 0;
}
