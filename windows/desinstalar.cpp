// desinstalar.exe: Vorteda's uninstaller as "Apps & features", its
// QuietUninstallString and an administrator run it. The uninstaller proper is NSIS's,
// beside this as desinstalar.dat. Run as it is, NSIS copies itself to the temporary
// folder, starts the copy and returns 0 at once, so its caller never learns that
// nothing was removed (Vorteda open: status 3). This does that copy itself, runs it
// with _?= (so that it does not copy itself again) and waits for it: its status is
// the caller's. This file, which cannot be removed while it runs, and the then empty
// program folder are removed by a copy of it in the temporary folder once it has ended.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr DWORD kNotRun = 2; // NSIS's own status for an uninstaller that could not start
constexpr DWORD kWaitForEndMs = 60000;

std::wstring modulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring folderOf(const std::wstring &path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring quoted(const std::wstring &text)
{
    return L"\"" + text + L"\"";
}

// What followed the program's name on its command line, as it was given.
std::wstring ownArguments()
{
    const wchar_t *line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"')
            ++line;
        if (*line == L'"')
            ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

bool run(const std::wstring &program, std::wstring command, const std::wstring &folder, DWORD flags,
         PROCESS_INFORMATION &started)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, flags, nullptr, folder.c_str(),
                          &startup, &started)
           != 0;
}

// The copy in the temporary folder: once the process `pid` has ended, removes `file`
// and, when nothing else is left in it, `folder`.
int removeAfter(DWORD pid, const std::wstring &file, const std::wstring &folder)
{
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
        WaitForSingleObject(process, kWaitForEndMs);
        CloseHandle(process);
    }
    for (int tries = 0; tries < 50 && !DeleteFileW(file.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND; ++tries)
        Sleep(100);
    RemoveDirectoryW(folder.c_str());
    // This copy goes with the temporary folder's next cleaning, or at the next start
    // of Windows where the user may ask for that.
    MoveFileExW(modulePath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR *arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments != nullptr && count == 5 && std::wcscmp(arguments[1], L"--despues-de") == 0) {
        const auto pid = static_cast<DWORD>(std::wcstoul(arguments[2], nullptr, 10));
        const int status = removeAfter(pid, arguments[3], arguments[4]);
        LocalFree(arguments);
        return status;
    }
    if (arguments != nullptr)
        LocalFree(arguments);

    const std::wstring self = modulePath();
    const std::wstring folder = folderOf(self);
    const std::wstring proper = folder + L"\\desinstalar.dat";
    wchar_t tempBase[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, tempBase) == 0)
        return static_cast<int>(kNotRun);
    const std::wstring temp = std::wstring(tempBase) + L"vorteda-desinstalar-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(temp.c_str(), nullptr);
    const std::wstring copy = temp + L"\\desinstalar.exe";
    PROCESS_INFORMATION started{};
    if (!CopyFileW(proper.c_str(), copy.c_str(), FALSE)
        || !run(copy, quoted(copy) + L" " + ownArguments() + L" _?=" + folder, temp, 0, started)) {
        DeleteFileW(copy.c_str());
        RemoveDirectoryW(temp.c_str());
        return static_cast<int>(kNotRun);
    }
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD status = kNotRun;
    GetExitCodeProcess(started.hProcess, &status);
    CloseHandle(started.hProcess);
    DeleteFileW(copy.c_str());

    // Uninstalled: this file and the folder go once this has ended.
    if (status == 0 && GetFileAttributesW(proper.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::wstring after = temp + L"\\despues.exe";
        PROCESS_INFORMATION cleaner{};
        if (CopyFileW(self.c_str(), after.c_str(), FALSE)
            && run(after,
                   quoted(after) + L" --despues-de " + std::to_wstring(GetCurrentProcessId()) + L" " + quoted(self)
                       + L" " + quoted(folder),
                   temp, DETACHED_PROCESS, cleaner)) {
            CloseHandle(cleaner.hThread);
            CloseHandle(cleaner.hProcess);
            return static_cast<int>(status);
        }
    }
    RemoveDirectoryW(temp.c_str());
    return static_cast<int>(status);
}
