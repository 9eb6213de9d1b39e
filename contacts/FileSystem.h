#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace contacts {

// Every file operation of the contact core goes through this narrow layer, so that
// tests can make any single call fail and the platform can be swapped.
enum class FileOp { Open, Read, Write, Flush, Length, Close, Rename, Remove, Lock, SyncFolder, CreateFolder };

// Raised by any FileSystem call that fails; carries what was attempted, on which
// file, and the system's error. The windows word the message for the user; what()
// is a plain technical line for logs and tests.
class FileError : public std::runtime_error {
public:
    FileError(FileOp op, std::filesystem::path path, std::error_code code);

    FileOp op() const { return m_op; }
    const std::filesystem::path &path() const { return m_path; }
    std::error_code code() const { return m_code; }

private:
    FileOp m_op;
    std::filesystem::path m_path;
    std::error_code m_code;
};

using FileHandle = std::intptr_t;

// Which state of a file an open handle sees, told without reading it: the file
// itself (a rewrite puts another file in its place), its size and its last
// modification, none of which a rename changes. Equal stamps mean the same
// contents as far as anyone can tell cheaply; a missing file has the stamp that
// does not exist.
struct FileStamp {
    bool exists = false;
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // in the system's own units

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// How long a command waits for another copy's lock before it gives up, changing
// nothing: a change to an everyday file is over well within it, and nobody is left
// waiting in silence behind one that is not.
inline constexpr std::chrono::milliseconds kLockWait{2000};

// What a path names, a link followed. Only a File is ever opened for reading: a FIFO
// may wait for ever, a device never end.
enum class PathKind { Missing, File, Folder, Fifo, Socket, Device };

class FileSystem {
public:
    enum class OpenMode {
        ReadOnly,          // the file must exist and be a regular file (notRegularFile())
        ReadWrite,         // created empty when missing
        ReadWriteExisting, // the file must exist
        ReadWriteEmpty,    // created when missing, emptied when present
        CreateNew,         // created; fails when anything has the name, a link included
    };

    virtual ~FileSystem() = default;

    virtual FileHandle open(const std::filesystem::path &path, OpenMode mode) = 0;
    // What `path` names, without opening it; a path that cannot be looked at fails as
    // an open (FileOp::Open).
    virtual PathKind kind(const std::filesystem::path &path) = 0;
    // Reads up to `size` bytes at `offset`; returns fewer only at the end of the file.
    virtual std::size_t read(FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) = 0;
    // Writes all `size` bytes at `offset` or fails.
    virtual void write(FileHandle file, std::uint64_t offset, const void *data, std::size_t size) = 0;
    // Pushes the file's data to the disk.
    virtual void flush(FileHandle file) = 0;
    virtual std::uint64_t length(FileHandle file) = 0;
    // The state of the file `file` has open; fails as length() does.
    virtual FileStamp stamp(FileHandle file) = 0;
    virtual void close(FileHandle file) = 0;
    // Replaces `to` by `from` in one atomic step. `from` takes the permissions of
    // the `to` it replaces, so that rewriting a file never widens who may read it.
    virtual void rename(const std::filesystem::path &from, const std::filesystem::path &to) = 0;
    virtual void remove(const std::filesystem::path &path) = 0;
    // Takes an exclusive advisory lock on the lock file at `path` (created when missing),
    // waiting while another process holds it, but no longer than kLockWait: then it
    // fails with FileOp::Lock and std::errc::timed_out. Closing other handles never
    // drops it.
    virtual FileHandle lock(const std::filesystem::path &path) = 0;
    virtual void unlock(FileHandle lock) = 0;
    // Makes a rename inside `folder` durable.
    virtual void syncFolder(const std::filesystem::path &folder) = 0;
    // The file `path` names in the end: a symbolic link is followed, to wherever it
    // leads; any other path comes back as it is, even a missing one. A link that
    // leads nowhere fails as opening it would.
    virtual std::filesystem::path resolve(const std::filesystem::path &path) = 0;
};

// Why a read-only open refused a path that is neither a regular file nor a folder (a
// FIFO, a device, a socket): reading one may block for ever or never end.
std::error_code notRegularFile();

// The operation's short name ("write").
const char *name(FileOp op);

} // namespace contacts
