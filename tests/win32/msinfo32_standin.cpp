// Stands in for the system-information program MSINFO32.EXE in the launcher's tests.
// It writes "started.txt" in its own folder (the show command it was given and its
// command line), stays while a file "hold" is there (at most 30 s), then writes
// "ended.txt".
#include <windows.h>

#include <string>

namespace {

std::wstring folderOfThisProgram()
{
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Written under another name and renamed, so the test never reads half a file.
void record(const std::wstring &folder, const wchar_t *name, const std::string &text)
{
    const std::wstring partial = folder + name + L".part";
    const HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    ::CloseHandle(file);
    ::MoveFileExW(partial.c_str(), (folder + name).c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int main()
{
    const std::wstring folder = folderOfThisProgram();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    const bool showGiven = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
    record(folder, L"started.txt",
           "show=" + (showGiven ? std::to_string(startup.wShowWindow) : std::string("none")) + "\nline="
               + ::GetCommandLineA());

    const std::wstring hold = folder + L"hold";
    for (int waited = 0; waited < 30000 && ::GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES;
         waited += 20)
        ::Sleep(20);
    record(folder, L"ended.txt", "ended");
    return 0;
}
