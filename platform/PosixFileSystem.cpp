// The operating system's files, through POSIX calls.
#include "platform/SystemFileSystem.h"

#include "platform/HandleNames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using contacts::FileError;
using contacts::FileHandle;
using contacts::FileOp;
using contacts::FileSystem;

namespace {

[[noreturn]] void fail(FileOp op, const std::filesystem::path &path, int error = errno)
{
    throw FileError(op, path, std::error_code(error, std::generic_category()));
}

int fd(FileHandle handle)
{
    return static_cast<int>(handle);
}

// How often a command held off by another copy's lock asks again.
constexpr std::chrono::milliseconds kLockPause{10};

// One read or write call moves at most this much on Linux.
constexpr std::size_t kMaxIo = 0x7ffff000;

class PosixFileSystem final : public FileSystem {
public:
    FileHandle open(const std::filesystem::path &path, OpenMode mode) override
    {
        int flags = O_CLOEXEC;
        switch (mode) {
        // Without waiting for a writer: a FIFO is refused below, not waited on.
        case OpenMode::ReadOnly: flags |= O_RDONLY | O_NONBLOCK | O_NOCTTY; break;
        case OpenMode::ReadWrite: flags |= O_RDWR | O_CREAT; break;
        case OpenMode::ReadWriteExisting: flags |= O_RDWR; break;
        case OpenMode::ReadWriteEmpty: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
        }
        int handle;
        do {
            handle = ::open(path.c_str(), flags, 0666);
        } while (handle < 0 && errno == EINTR);
        if (handle < 0)
            fail(FileOp::Open, path);
        // Read-only opens succeed on a folder; a record file is never one. A file
        // that cannot even be examined is no more usable than one that cannot open.
        struct stat st;
        if (::fstat(handle, &st) != 0) {
            const int error = errno;
            ::close(handle);
            fail(FileOp::Open, path, error);
        }
        if (S_ISDIR(st.st_mode)) {
            ::close(handle);
            fail(FileOp::Open, path, EISDIR);
        }
        if (mode == OpenMode::ReadOnly && !S_ISREG(st.st_mode)) {
            ::close(handle);
            throw FileError(FileOp::Open, path, contacts::notRegularFile());
        }
        m_names.remember(handle, path);
        return handle;
    }

    contacts::PathKind kind(const std::filesystem::path &path) override
    {
        using contacts::PathKind;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return PathKind::Missing;
            fail(FileOp::Open, path);
        }
        if (S_ISREG(st.st_mode))
            return PathKind::File;
        if (S_ISDIR(st.st_mode))
            return PathKind::Folder;
        if (S_ISFIFO(st.st_mode))
            return PathKind::Fifo;
        if (S_ISSOCK(st.st_mode))
            return PathKind::Socket;
        return PathKind::Device;
    }

    std::size_t read(FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override
    {
        auto *out = static_cast<char *>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::pread(fd(file), out + done, std::min(size - done, kMaxIo),
                                        static_cast<off_t>(offset + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                fail(FileOp::Read, m_names.nameOf(file));
            }
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    void write(FileHandle file, std::uint64_t offset, const void *data, std::size_t size) override
    {
        const auto *in = static_cast<const char *>(data);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t put = ::pwrite(fd(file), in + done, std::min(size - done, kMaxIo),
                                         static_cast<off_t>(offset + done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                fail(FileOp::Write, m_names.nameOf(file));
            }
            // A zero-byte write of a nonzero size would loop for ever; the disk is full.
            if (put == 0)
                fail(FileOp::Write, m_names.nameOf(file), ENOSPC);
            done += static_cast<std::size_t>(put);
        }
    }

    void flush(FileHandle file) override
    {
        if (::fsync(fd(file)) != 0)
            fail(FileOp::Flush, m_names.nameOf(file));
    }

    std::uint64_t length(FileHandle file) override
    {
        struct stat st;
        if (::fstat(fd(file), &st) != 0)
            fail(FileOp::Length, m_names.nameOf(file));
        return static_cast<std::uint64_t>(st.st_size);
    }

    contacts::FileStamp stamp(FileHandle file) override
    {
        struct stat st;
        if (::fstat(fd(file), &st) != 0)
            fail(FileOp::Length, m_names.nameOf(file));
        return {true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                static_cast<std::uint64_t>(st.st_size),
                std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }

    void close(FileHandle file) override
    {
        const auto name = m_names.nameOf(file);
        m_names.forget(file);
        // Linux releases the descriptor even when close reports EINTR, so retrying
        // could close someone else's file; the data was already flushed where it matters.
        if (::close(fd(file)) != 0 && errno != EINTR)
            fail(FileOp::Close, name);
    }

    void rename(const std::filesystem::path &from, const std::filesystem::path &to) override
    {
        struct stat st;
        if (::stat(to.c_str(), &st) == 0) {
            if (::chmod(from.c_str(), st.st_mode & 07777) != 0)
                fail(FileOp::Rename, from);
        } else if (errno != ENOENT) {
            fail(FileOp::Rename, to);
        }
        if (::rename(from.c_str(), to.c_str()) != 0)
            fail(FileOp::Rename, from);
    }

    void remove(const std::filesystem::path &path) override
    {
        if (::unlink(path.c_str()) != 0)
            fail(FileOp::Remove, path);
    }

    FileHandle lock(const std::filesystem::path &path) override
    {
        int handle;
        do {
            handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        } while (handle < 0 && errno == EINTR);
        if (handle < 0)
            fail(FileOp::Lock, path);
        // flock, not fcntl: an fcntl lock vanishes when the process closes any handle
        // to the file, and the lock must outlive every other open and close. Asked
        // without blocking and again after a pause, so that the wait has an end.
        const auto deadline = std::chrono::steady_clock::now() + contacts::kLockWait;
        for (;;) {
            if (::flock(handle, LOCK_EX | LOCK_NB) == 0)
                break;
            int error = errno;
            if (error == EINTR)
                continue;
            if (error == EWOULDBLOCK && std::chrono::steady_clock::now() >= deadline)
                error = ETIMEDOUT;
            if (error != EWOULDBLOCK) {
                ::close(handle);
                fail(FileOp::Lock, path, error);
            }
            std::this_thread::sleep_for(kLockPause);
        }
        m_names.remember(handle, path);
        return handle;
    }

    void unlock(FileHandle lock) override
    {
        const auto name = m_names.nameOf(lock);
        m_names.forget(lock);
        const int rc = ::flock(fd(lock), LOCK_UN);
        const int error = errno;
        // Closing drops the lock too, so the handle is closed whatever flock said.
        const int closed = ::close(fd(lock));
        if (rc != 0)
            fail(FileOp::Lock, name, error);
        if (closed != 0 && errno != EINTR)
            fail(FileOp::Close, name);
    }

    void syncFolder(const std::filesystem::path &folder) override
    {
        const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (handle < 0)
            fail(FileOp::SyncFolder, folder);
        const int rc = ::fsync(handle);
        const int error = errno;
        ::close(handle);
        // Some file systems cannot sync a folder at all (EINVAL); there is nothing
        // more to do there, and the rename itself has happened.
        if (rc != 0 && error != EINVAL)
            fail(FileOp::SyncFolder, folder, error);
    }

    std::filesystem::path resolve(const std::filesystem::path &path) override
    {
        std::filesystem::path at = path;
        for (int hops = 0;; ++hops) {
            struct stat st;
            if (::lstat(at.c_str(), &st) != 0) {
                // Nothing there is no error for the path itself, only for a link to it.
                if (errno == ENOENT && hops == 0)
                    return path;
                fail(FileOp::Open, path);
            }
            if (!S_ISLNK(st.st_mode))
                return at;
            if (hops == kMaxLinks)
                fail(FileOp::Open, path, ELOOP);
            std::string target(std::size_t(st.st_size) + 1, '\0');
            ssize_t got;
            // The link may change between the two calls; grow until it fits.
            while ((got = ::readlink(at.c_str(), target.data(), target.size())) >= ssize_t(target.size()))
                target.resize(target.size() * 2);
            if (got < 0)
                fail(FileOp::Open, path);
            target.resize(std::size_t(got));
            // A relative link is read from the link's own folder.
            at = std::filesystem::path(target).is_absolute() ? std::filesystem::path(target) : at.parent_path() / target;
        }
    }

private:
    // As many links in a row as Linux itself follows.
    static constexpr int kMaxLinks = 40;

    HandleNames m_names{"fd "};
};

} // namespace

contacts::FileSystem &systemFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

} // namespace platform
