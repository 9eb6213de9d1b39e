// The operating system's files, through the Win32 API.
#include "platform/SystemFileSystem.h"

#include "platform/HandleNames.h"
#include "platform/Utf16.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include <windows.h>
#include <winternl.h>

namespace platform {

using contacts::FileError;
using contacts::FileHandle;
using contacts::FileOp;
using contacts::FileSystem;

namespace {

// The system's numbering and conditions (so std::errc comparisons work as with
// std::system_category()), but the text as UTF-8: the category of the standard
// library asks FormatMessageA, whose text is in the ANSI code page, and a Spanish
// "Violación" would then reach the UTF-8 messages of the program as a broken byte.
class Win32Category final : public std::error_category {
public:
    const char *name() const noexcept override { return "win32"; }

    std::string message(int code) const override
    {
        wchar_t *text = nullptr;
        const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                  | FORMAT_MESSAGE_IGNORE_INSERTS,
                                              nullptr, static_cast<DWORD>(code), 0,
                                              reinterpret_cast<wchar_t *>(&text), 0, nullptr);
        std::wstring wide = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
        if (text != nullptr)
            ::LocalFree(text);
        // The system ends its texts with a full stop and a line break.
        while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '
                                 || wide.back() == L'.'))
            wide.pop_back();
        if (wide.empty())
            return "error " + std::to_string(code);
        return narrow(wide);
    }

    std::error_condition default_error_condition(int code) const noexcept override
    {
        return std::system_category().default_error_condition(code);
    }
};

const std::error_category &win32Category()
{
    static const Win32Category category;
    return category;
}

[[noreturn]] void fail(FileOp op, const std::filesystem::path &path, DWORD error = ::GetLastError())
{
    throw FileError(op, path, std::error_code(static_cast<int>(error), win32Category()));
}

HANDLE win(FileHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

FileHandle ours(HANDLE handle)
{
    return reinterpret_cast<FileHandle>(handle);
}

OVERLAPPED at(std::uint64_t offset)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

// One ReadFile or WriteFile moves at most a DWORD's worth; stay well below it.
constexpr std::size_t kMaxIo = 0x40000000;

// Indexers and virus scanners open a file for a moment just after it is written:
// Windows then refuses to replace it (whatever they share), and to open it when they
// share nothing. A short wait outlasts them; a program that keeps the file open gets
// the error.
constexpr int kTries = 20;
constexpr std::chrono::milliseconds kPause{50};

// How often a command held off by another copy's lock asks again.
constexpr std::chrono::milliseconds kLockPause{10};

// Calls `attempt` until it succeeds, fails for another reason than `brief` allows,
// or has been tried kTries times; returns the last error (0 on success).
template <typename Attempt, typename Brief>
DWORD retryBrief(Attempt attempt, Brief brief)
{
    for (int tries = 1;; ++tries) {
        if (attempt())
            return 0;
        const DWORD error = ::GetLastError();
        if (tries == kTries || !brief(error))
            return error;
        std::this_thread::sleep_for(kPause);
    }
}

bool heldByAnother(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Replacing also meets ERROR_ACCESS_DENIED while the old file is open somewhere.
bool replaceConflict(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || heldByAnother(error);
}

// Every file is opened sharing everything, so that other copies of the program can
// read, write and replace it while this one has it open.
HANDLE openShared(const std::filesystem::path &path, DWORD access, DWORD disposition)
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    const DWORD error = retryBrief(
        [&] {
            handle = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
            return handle != INVALID_HANDLE_VALUE;
        },
        heldByAnother);
    ::SetLastError(error);
    return handle;
}

class WindowsFileSystem final : public FileSystem {
public:
    FileHandle open(const std::filesystem::path &path, OpenMode mode) override
    {
        const bool readOnly = mode == OpenMode::ReadOnly;
        const bool mustExist = readOnly || mode == OpenMode::ReadWriteExisting;
        // OPEN_ALWAYS and an explicit truncation rather than CREATE_ALWAYS, which
        // refuses an existing hidden or system file and resets its attributes.
        const HANDLE handle = openShared(path, readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                                         mustExist                        ? OPEN_EXISTING
                                         : mode == OpenMode::CreateNew ? CREATE_NEW
                                                                          : OPEN_ALWAYS);
        if (handle == INVALID_HANDLE_VALUE)
            fail(FileOp::Open, path);
        // A pipe or a device (CON, COM1, \\.\pipe\...) may never end or answer.
        if (readOnly && ::GetFileType(handle) != FILE_TYPE_DISK) {
            ::CloseHandle(handle);
            throw FileError(FileOp::Open, path, contacts::notRegularFile());
        }
        if (mode == OpenMode::ReadWriteEmpty && !::SetEndOfFile(handle)) {
            const DWORD error = ::GetLastError();
            ::CloseHandle(handle);
            fail(FileOp::Open, path, error);
        }
        m_names.remember(ours(handle), path);
        return ours(handle);
    }

    contacts::PathKind kind(const std::filesystem::path &path) override
    {
        using contacts::PathKind;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return PathKind::Folder;
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return PathKind::Missing;
        }
        // A device (NUL, CON, COM1) or a pipe is told by what an open of it is; an
        // open without access reads nothing and waits for nothing. One that cannot
        // be made leaves the verdict to the open that follows.
        const HANDLE handle = openShared(path, 0, OPEN_EXISTING);
        if (handle == INVALID_HANDLE_VALUE)
            return attributes == INVALID_FILE_ATTRIBUTES ? PathKind::Missing : PathKind::File;
        const DWORD type = ::GetFileType(handle);
        ::CloseHandle(handle);
        return type == FILE_TYPE_DISK ? PathKind::File : type == FILE_TYPE_PIPE ? PathKind::Fifo : PathKind::Device;
    }

    std::size_t read(FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override
    {
        auto *out = static_cast<char *>(buffer);
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED where = at(offset + done);
            DWORD got = 0;
            if (!::ReadFile(win(file), out + done, static_cast<DWORD>(std::min(size - done, kMaxIo)), &got, &where)) {
                // A read that starts at or past the end fails with this instead of
                // returning no bytes, since an offset is given.
                if (::GetLastError() == ERROR_HANDLE_EOF)
                    break;
                fail(FileOp::Read, m_names.nameOf(file));
            }
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

    void write(FileHandle file, std::uint64_t offset, const void *data, std::size_t size) override
    {
        const auto *in = static_cast<const char *>(data);
        std::size_t done = 0;
        while (done < size) {
            OVERLAPPED where = at(offset + done);
            DWORD put = 0;
            if (!::WriteFile(win(file), in + done, static_cast<DWORD>(std::min(size - done, kMaxIo)), &put, &where))
                fail(FileOp::Write, m_names.nameOf(file));
            // A zero-byte write of a nonzero size would loop for ever; the disk is full.
            if (put == 0)
                fail(FileOp::Write, m_names.nameOf(file), ERROR_DISK_FULL);
            done += put;
        }
    }

    void flush(FileHandle file) override
    {
        if (!::FlushFileBuffers(win(file)))
            fail(FileOp::Flush, m_names.nameOf(file));
    }

    std::uint64_t length(FileHandle file) override
    {
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(win(file), &size))
            fail(FileOp::Length, m_names.nameOf(file));
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    contacts::FileStamp stamp(FileHandle file) override
    {
        // The file's id, size and last write, each asked of the handle alone. The
        // volume is left out: a stamp is only compared with one of the same path, and
        // a file put in its place has another id. (GetFileInformationByHandle() also
        // asks for the volume's serial number, which under Wine is a round trip to
        // its mount manager, another process, on every search keystroke.)
        IO_STATUS_BLOCK io{};
        FILE_INTERNAL_INFORMATION id{};
        const NTSTATUS status = ::NtQueryInformationFile(win(file), &io, &id, sizeof id, FileInternalInformation);
        if (status < 0)
            fail(FileOp::Length, m_names.nameOf(file), ::RtlNtStatusToDosError(status));
        FILE_STANDARD_INFO standard{};
        FILE_BASIC_INFO basic{};
        if (!::GetFileInformationByHandleEx(win(file), FileStandardInfo, &standard, sizeof standard)
            || !::GetFileInformationByHandleEx(win(file), FileBasicInfo, &basic, sizeof basic))
            fail(FileOp::Length, m_names.nameOf(file));
        return {true, 0, static_cast<std::uint64_t>(id.IndexNumber.QuadPart),
                static_cast<std::uint64_t>(standard.EndOfFile.QuadPart), basic.LastWriteTime.QuadPart};
    }

    void close(FileHandle file) override
    {
        const auto name = m_names.nameOf(file);
        m_names.forget(file);
        if (!::CloseHandle(win(file)))
            fail(FileOp::Close, name);
    }

    void rename(const std::filesystem::path &from, const std::filesystem::path &to) override
    {
        // The new file keeps what the user made of the old one: hidden, system, kept
        // out of the index. It is always marked for the next backup (archive), as any
        // write to the old file would have marked it: a backup must not skip new
        // contents. A read-only file never gets here: the command refuses it first.
        const DWORD old = ::GetFileAttributesW(to.c_str());
        if (old != INVALID_FILE_ATTRIBUTES) {
            const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
            if (!::SetFileAttributesW(from.c_str(), (old & kept) | FILE_ATTRIBUTE_ARCHIVE))
                fail(FileOp::Rename, from);
        } else if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND) {
            fail(FileOp::Rename, to, error);
        }
        // One atomic replace; write-through returns only once the new name is on
        // the disk.
        const DWORD error = retryBrief(
            [&] {
                return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                    != FALSE;
            },
            replaceConflict);
        if (error != 0)
            fail(FileOp::Rename, from, error);
    }

    void remove(const std::filesystem::path &path) override
    {
        if (!::DeleteFileW(path.c_str()))
            fail(FileOp::Remove, path);
    }

    FileHandle lock(const std::filesystem::path &path) override
    {
        const HANDLE handle = openShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        if (handle == INVALID_HANDLE_VALUE)
            fail(FileOp::Lock, path);
        // A byte-range lock belongs to this handle alone: closing any other handle to
        // the file, in this process or another, leaves it in place. Asked without
        // waiting and again after a pause, so that the wait has an end.
        const auto deadline = std::chrono::steady_clock::now() + contacts::kLockWait;
        for (;;) {
            OVERLAPPED whole = at(0);
            if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole))
                break;
            const DWORD error = ::GetLastError();
            if (error != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= deadline) {
                ::CloseHandle(handle);
                if (error == ERROR_LOCK_VIOLATION)
                    throw FileError(FileOp::Lock, path, std::make_error_code(std::errc::timed_out));
                fail(FileOp::Lock, path, error);
            }
            std::this_thread::sleep_for(kLockPause);
        }
        m_names.remember(ours(handle), path);
        return ours(handle);
    }

    void unlock(FileHandle lock) override
    {
        const auto name = m_names.nameOf(lock);
        m_names.forget(lock);
        OVERLAPPED whole = at(0);
        const BOOL unlocked = ::UnlockFileEx(win(lock), 0, 1, 0, &whole);
        const DWORD error = ::GetLastError();
        // Closing drops the lock too, so the handle is closed whatever UnlockFileEx said.
        const BOOL closed = ::CloseHandle(win(lock));
        if (!unlocked)
            fail(FileOp::Lock, name, error);
        if (!closed)
            fail(FileOp::Close, name);
    }

    void syncFolder(const std::filesystem::path &) override
    {
        // Nothing to do: MOVEFILE_WRITE_THROUGH already waited for the rename to reach
        // the disk, and Windows has no call that flushes a folder's entries.
    }

    std::filesystem::path resolve(const std::filesystem::path &path) override
    {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        // A plain file, or none at all: the open that follows has its say.
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            return path;
        // Opening follows the link; a link that leads nowhere fails here.
        const HANDLE handle = openShared(path, 0, OPEN_EXISTING);
        if (handle == INVALID_HANDLE_VALUE)
            fail(FileOp::Open, path);
        std::wstring target(MAX_PATH, L'\0');
        DWORD length;
        while ((length = ::GetFinalPathNameByHandleW(handle, target.data(), static_cast<DWORD>(target.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS))
               >= target.size())
            target.resize(length + 1);
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        if (length == 0)
            fail(FileOp::Open, path, error);
        target.resize(length);
        // The system answers "\\?\C:\..." or "\\?\UNC\server\..."; a message names
        // the file as the user would.
        if (target.rfind(L"\\\\?\\UNC\\", 0) == 0)
            target = L"\\\\" + target.substr(8);
        else if (target.rfind(L"\\\\?\\", 0) == 0)
            target = target.substr(4);
        return std::filesystem::path(target);
    }

private:
    HandleNames m_names{"handle "};
};

} // namespace

contacts::FileSystem &systemFileSystem()
{
    static WindowsFileSystem fs;
    return fs;
}

} // namespace platform
