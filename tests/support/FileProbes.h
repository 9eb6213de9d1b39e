#pragma once

// Looks at locks and open files through the system's own calls rather than through
// the file layer under test; shared by the core tests and the Windows-only tests.
#include <filesystem>

#include <windows.h>

namespace winprobe {

// True when nobody holds the lock byte of the lock file at `path`.
inline bool lockIsFree(const std::filesystem::path &path)
{
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED whole{};
    const bool free = ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole);
    if (free)
        ::UnlockFileEx(handle, 0, 1, 0, &whole);
    ::CloseHandle(handle);
    return free;
}

// True when some handle (of this process or another) still has the file open: an
// open that shares nothing is then refused. Wine counts no handles per process, so
// this is how the tests find a handle left open.
inline bool isOpen(const std::filesystem::path &path)
{
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace winprobe
