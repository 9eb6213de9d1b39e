// Vorteda.exe's contacts window on a large address book, under Wine or Windows: the
// time until the window is on the screen and until it answers (its list load
// included), a search keystroke that finds an entry near the top (and its handler
// alone, without the repaints), emptying the search box, a search that finds nothing,
// the last letter of a surname being typed, and each editing command until the
// window answers again, with the process's peak memory. Each step ends when no
// message waits, every repaint done: what vorteda_bench --window --screen times on
// Linux.
//
//   vorteda_bench_win32 [record counts...]      (default: 0 100000 1000000)
//
// The contacts are those vorteda_bench times on Linux (bench/AddressBook.h), in
// given-name order as a list load leaves them, so the two tables compare. A
// benchmark, not a test: it prints a table and checks only that each step did what
// it should.
#include "bench/AddressBook.h"
#include "contacts/ContactFile.h"
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
#include <random>
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
    // Seeded as vorteda_bench seeds it: the same contacts for the same count.
    std::mt19937 random{static_cast<unsigned>(count)};
    const std::vector<contacts::Record> records =
        count == 0 ? std::vector<contacts::Record>() : bench::sortedWithLast(count, random);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(records.data()),
              static_cast<std::streamsize>(records.size() * contacts::kRecordSize));
}

// When the contacts window was first shown: what the person sees after the splash.
std::chrono::steady_clock::time_point g_shown;

LRESULT CALLBACK watchShow(int code, WPARAM wParam, LPARAM lParam)
{
    const auto &sent = *reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && sent.message == WM_SHOWWINDOW && sent.wParam != 0
        && g_shown == std::chrono::steady_clock::time_point()) {
        wchar_t name[64] = {};
        GetClassNameW(sent.hwnd, name, 64);
        if (std::wstring(name) == win32::kPersonasClass)
            g_shown = std::chrono::steady_clock::now();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
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

std::wstring entryText(HWND window, int index)
{
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(control(window, win32::kList1), LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring fieldText(HWND window, int id)
{
    wchar_t text[64] = {};
    GetWindowTextW(control(window, id), text, 64);
    return text;
}

int selectedEntry(HWND window)
{
    return static_cast<int>(SendMessageW(control(window, win32::kList1), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         LVNI_SELECTED));
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
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &watchShow, nullptr, GetCurrentThreadId());
    g_shown = {};
    const auto opening = std::chrono::steady_clock::now();
    const double load = seconds([&] {
        program.openWindow(forms::Window::Personas);
        window = FindWindowW(win32::kPersonasClass, nullptr);
    });
    UnhookWindowsHookEx(hook);
    const double shown = g_shown == std::chrono::steady_clock::time_point()
                             ? -1
                             : std::chrono::duration<double>(g_shown - opening).count();
    if (window == nullptr) {
        std::fprintf(stderr, "no contacts window\n");
        return 1;
    }
    const auto entries = [&] { return SendMessageW(control(window, win32::kList1), LVM_GETITEMCOUNT, 0, 0); };
    bool right = entries() == static_cast<LRESULT>(count);
    // A keystroke in the search box whose surname is near the top, as in "Gar" for García.
    const std::wstring wanted =
        count == 0 ? std::wstring() : entryText(window, static_cast<int>(std::min<std::size_t>(7, count - 1)));
    // The search box's text set as typing does: its EN_CHANGE handler runs before
    // SetWindowTextW returns ("handler"); the repaints follow in settle().
    const HWND search = control(window, win32::kTxtBusqueda);
    double handler = 0;
    const double found = seconds([&] {
        const auto start = std::chrono::steady_clock::now();
        SetWindowTextW(search, wanted.c_str());
        handler = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    const auto foundWanted = [&] {
        return count == 0 || (selectedEntry(window) <= 7 && fieldText(window, win32::kText1) == wanted);
    };
    right = right && foundWanted();
    const double emptied = seconds([&] { SetWindowTextW(search, L""); });
    right = right && selectedEntry(window) == (count == 0 ? -1 : 0);
    const double nothing = seconds([&] { SetWindowTextW(search, L"Qwertz"); });
    right = right && selectedEntry(window) == -1;
    // One more letter of a surname being typed: the contact found often stays.
    SetWindowTextW(search, wanted.substr(0, wanted.empty() ? 0 : wanted.size() - 1).c_str());
    settle();
    const double nextLetter = seconds([&] { SetWindowTextW(search, wanted.c_str()); });
    right = right && foundWanted();
    const double add = seconds([&] {
        SetWindowTextW(control(window, win32::kText1), L"Zzz");
        SetWindowTextW(control(window, win32::kText1 + 1), L"Zzz");
        press(window, win32::kCmdButton + 0);
    });
    right = right && entries() == static_cast<LRESULT>(count + 1);
    select(window, static_cast<int>(count / 2));
    const double modify = seconds([&] {
        SetWindowTextW(control(window, win32::kText1 + 2), L"Calle Nueva 2");
        press(window, win32::kCmdButton + 1);
    });
    right = right && entries() == static_cast<LRESULT>(count + 1);
    select(window, static_cast<int>(count / 2));
    const double remove = seconds([&] { press(window, win32::kCmdButton + 2); });
    right = right && entries() == static_cast<LRESULT>(count);
    std::printf("%9zu %8.2f %8.2f %8.4f %8.4f %8.4f %8.4f %8.4f %8.2f %8.2f %8.2f %8.0f%s\n", count, shown, load,
                found, handler, emptied, nothing, nextLetter, add, modify, remove, peakMiB(),
                right ? "" : "  (a step did not do what it should)");
    std::fflush(stdout);
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
    std::printf("seconds; peak memory in MiB\n%9s %8s %8s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n", "contacts",
                "shown", "load", "search", "handler", "emptied", "no match", "next", "add", "modify", "delete", "peak");
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
