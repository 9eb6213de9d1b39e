// Reads Vorteda's windows back from outside, as a second Win32 program, for the
// end-to-end tests under Wine:
//   vorteda_probe dump     the open windows and their controls, as JSON (message
//                          boxes and open menus included)
//   vorteda_probe layout   every control's rectangle against the pixels written out
//                          below for the screen's dpi; exit status 1 when one is
//                          more than 1 pixel off
//   vorteda_probe item INDEX
//                          the text of entry INDEX of the main window's list, as JSON
//   vorteda_probe resources EXE
//                          the icons and the version an executable carries, as JSON
#include "probe.h"
#include "win32/ControlIds.h"

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using probe::clientOnScreen;
using probe::placeInParent;
using probe::rectJson;

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string textOf(HWND window)
{
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return utf8(text);
}

std::string classOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return utf8(name);
}

// Milliseconds since the process that owns `window` started, or -1.
long long processAge(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return -1;
    FILETIME created, exited, kernel, user, now;
    const BOOL got = GetProcessTimes(process, &created, &exited, &kernel, &user);
    CloseHandle(process);
    if (!got)
        return -1;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME &time) {
        return (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return (ticks(now) - ticks(created)) / 10000; // 100 ns steps
}

std::vector<HWND> ourWindows()
{
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            const std::string cls = classOf(window);
            if (IsWindowVisible(window) && (cls.rfind("Vorteda.", 0) == 0 || cls == "#32770" || cls == "#32768"))
                reinterpret_cast<std::vector<HWND> *>(found)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The entries of another process's list view: its messages take pointers into that
// process, so the probe lends it a buffer there.
class RemoteList {
public:
    explicit RemoteList(HWND list) : m_list(list)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process != nullptr)
            m_remote = static_cast<char *>(
                VirtualAllocEx(m_process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteList()
    {
        if (m_remote != nullptr)
            VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        if (m_process != nullptr)
            CloseHandle(m_process);
    }
    RemoteList(const RemoteList &) = delete;
    RemoteList &operator=(const RemoteList &) = delete;

    std::string text(int index)
    {
        if (m_remote == nullptr)
            return "";
        LVITEMW item{};
        item.iSubItem = 0;
        item.cchTextMax = kChars;
        item.pszText = reinterpret_cast<LPWSTR>(m_remote + sizeof(LVITEMW));
        WriteProcessMemory(m_process, m_remote, &item, sizeof item, nullptr);
        const auto length = SendMessageW(m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(m_remote));
        std::wstring read(static_cast<std::size_t>(length), L'\0');
        ReadProcessMemory(m_process, m_remote + sizeof(LVITEMW), read.data(), read.size() * sizeof(wchar_t), nullptr);
        return utf8(read);
    }
    // Relative to the list's client area.
    RECT rect(int index)
    {
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        if (m_remote == nullptr)
            return r;
        WriteProcessMemory(m_process, m_remote, &r, sizeof r, nullptr);
        SendMessageW(m_list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(m_remote));
        ReadProcessMemory(m_process, m_remote, &r, sizeof r, nullptr);
        return r;
    }

private:
    static constexpr int kChars = 256;
    HWND m_list;
    HANDLE m_process = nullptr;
    char *m_remote = nullptr;
};

constexpr LRESULT kListedItems = 200;

// The focus belongs to the window's thread, not to the caller's.
HWND focusOf(HWND control)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::string controlJson(HWND control)
{
    const std::string cls = classOf(control);
    std::string out = "{\"id\":" + std::to_string(GetDlgCtrlID(control)) + ",\"class\":" + quoted(cls)
                      + ",\"parent\":" + std::to_string(GetDlgCtrlID(GetParent(control)))
                      + ",\"text\":" + quoted(textOf(control)) + ",\"rect\":" + rectJson(placeInParent(control))
                      + ",\"screen\":" + rectJson(clientOnScreen(control))
                      + ",\"style\":" + std::to_string(GetWindowLongW(control, GWL_STYLE))
                      + ",\"visible\":" + (IsWindowVisible(control) ? "true" : "false")
                      + ",\"focus\":" + (focusOf(control) == control ? "true" : "false");
    if (_wcsicmp(std::wstring(cls.begin(), cls.end()).c_str(), L"SysListView32") == 0) {
        // List1: its entries as a screen reader gets them, through the list's own
        // messages (the first ones only, of a long list; `item` reads any other).
        RemoteList list(control);
        const auto count = SendMessageW(control, LVM_GETITEMCOUNT, 0, 0);
        out += ",\"count\":" + std::to_string(count) + ",\"selected\":"
               + std::to_string(SendMessageW(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
               + ",\"top\":" + std::to_string(SendMessageW(control, LVM_GETTOPINDEX, 0, 0)) + ",\"items\":[";
        std::string rects;
        for (LRESULT i = 0; i < count && i < kListedItems; ++i) {
            out += (i > 0 ? "," : "") + quoted(list.text(static_cast<int>(i)));
            rects += (i > 0 ? "," : "") + rectJson(list.rect(static_cast<int>(i)));
        }
        out += "],\"itemRects\":[" + rects + "]";
    } else if (_wcsicmp(std::wstring(cls.begin(), cls.end()).c_str(), L"Edit") == 0) {
        out += ",\"limit\":" + std::to_string(SendMessageW(control, EM_GETLIMITTEXT, 0, 0));
    }
    if (_stricmp(cls.c_str(), "SysListView32") == 0 || _stricmp(cls.c_str(), "Edit") == 0) {
        // A screen reader names an edit box or a list after the label just before it
        // (Wine's accessibility does not answer another process, so the probe reads
        // the label).
        HWND before = GetWindow(control, GW_HWNDPREV);
        const std::string beforeClass = before != nullptr ? classOf(before) : "";
        out += ",\"label\":" + quoted(_stricmp(beforeClass.c_str(), "Static") == 0 ? textOf(before) : "");
    }
    return out + "}";
}

int dump()
{
    std::string out = "[";
    bool first = true;
    for (HWND window : ourWindows()) {
        RECT outer;
        GetWindowRect(window, &outer);
        out += std::string(first ? "" : ",") + "{\"class\":" + quoted(classOf(window)) + ",\"title\":"
               + quoted(textOf(window)) + ",\"window\":" + rectJson(outer) + ",\"client\":"
               + rectJson(clientOnScreen(window)) + ",\"style\":" + std::to_string(GetWindowLongW(window, GWL_STYLE))
               + ",\"exstyle\":" + std::to_string(GetWindowLongW(window, GWL_EXSTYLE)) + ",\"foreground\":"
               + (GetForegroundWindow() == window ? "true" : "false") + ",\"age\":"
               + std::to_string(processAge(window)) + ",\"x11\":"
               + std::to_string(reinterpret_cast<std::uintptr_t>(GetPropW(window, L"__wine_x11_whole_window")))
               + ",\"controls\":[";
        first = false;
        std::vector<HWND> controls;
        EnumChildWindows(
            window,
            [](HWND control, LPARAM found) -> BOOL {
                reinterpret_cast<std::vector<HWND> *>(found)->push_back(control);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&controls));
        for (std::size_t i = 0; i < controls.size(); ++i)
            out += (i > 0 ? "," : "") + controlJson(controls[i]);
        out += "]}";
    }
    out += "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

int resources(const char *path)
{
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", path);
        return 1;
    }
    std::string out = "{\"icons\":{";
    for (int id = 1; id <= 2; ++id) {
        out += std::string(id > 1 ? "," : "") + "\"" + std::to_string(id) + "\":[";
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
        if (found != nullptr) {
            const auto *group = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
            const WORD count = *reinterpret_cast<const WORD *>(group + 4);
            const auto *entries = reinterpret_cast<const IconDirEntry *>(group + 6);
            for (WORD i = 0; i < count; ++i) {
                char entry[64];
                std::snprintf(entry, sizeof entry, "%s[%d,%d,%d,%d]", i > 0 ? "," : "", entries[i].width,
                              entries[i].height, entries[i].colours, entries[i].bitCount);
                out += entry;
            }
        }
        out += "]";
    }
    // Left loaded: the process ends right after (Wine faults at exit when a data-file
    // module of a static executable was freed).
    out += "},\"version\":";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> info(size);
    char *text = nullptr;
    UINT length = 0;
    if (size > 0 && GetFileVersionInfoA(path, 0, size, info.data())
        && VerQueryValueA(info.data(), "\\StringFileInfo\\0C0A04E4\\FileVersion", reinterpret_cast<void **>(&text),
                          &length))
        out += quoted(std::string(text, length > 0 ? length - 1 : 0));
    else
        out += "null";
    out += "}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace

// One entry of the main window's list, at any index: its text.
int item(int index)
{
    HWND main = FindWindowW(win32::kPersonasClass, nullptr);
    HWND list = main != nullptr ? GetDlgItem(main, win32::kList1) : nullptr;
    if (list == nullptr)
        return 1;
    RemoteList remote(list);
    const std::string out = "{\"text\":" + quoted(remote.text(index)) + "}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// Closes the window of class `cls` as its close button or the taskbar does: WM_CLOSE,
// whether the window is enabled or not.
int close(const char *cls)
{
    HWND window = FindWindowA(cls, nullptr);
    if (window == nullptr)
        return 1;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

int main(int argc, char **argv)
{
    SetProcessDPIAware();
    const std::string command = argc > 1 ? argv[1] : "dump";
    if (command == "dump")
        return dump();
    if (command == "layout")
        return probe::layout();
    if (command == "item" && argc > 2)
        return item(std::atoi(argv[2]));
    if (command == "resources" && argc > 2)
        return resources(argv[2]);
    if (command == "close" && argc > 2)
        return close(argv[2]);
    std::fprintf(stderr, "usage: vorteda_probe dump|layout|item INDEX|resources EXE|close CLASS\n");
    return 2;
}
