#pragma once

// A disk held in memory that forgets what was never made durable, after SQLite's
// crash-test layer. Beside what the program sees it keeps what has reached the
// disk: a write is durable once its file is flushed; a new file, a removed file or
// a rename once its folder is synced. A power cut keeps, loses or tears (at 512-byte
// sectors) each write not yet durable, and keeps or loses each folder change not
// yet durable, as a seed decides; what is left is what the next start finds.
#include "contacts/FileSystem.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

class PowerCutFileSystem final : public contacts::FileSystem {
public:
    static constexpr std::size_t kSector = 512;

    // The files and symbolic links on a disk, by path.
    struct Disk {
        std::map<std::filesystem::path, std::string> files;
        std::map<std::filesystem::path, std::filesystem::path> links;
    };

    // A machine just started on `disk`: all of it durable.
    explicit PowerCutFileSystem(const Disk &disk = {});

    // Cuts the power right after call number `n` (1-based, counted from now) with
    // `seed`; the program runs on, but nothing it does afterwards reaches the disk.
    void cutAfter(std::uint64_t n, std::uint32_t seed);
    // The disk that cut left, once it has happened.
    const std::optional<Disk> &afterCut() const { return m_afterCut; }
    // The disk a power cut would leave now.
    Disk cut(std::uint32_t seed) const;
    // What the program sees now.
    Disk visible() const;
    std::uint64_t calls() const { return m_calls; }

    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override;
    std::size_t read(contacts::FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override;
    void write(contacts::FileHandle file, std::uint64_t offset, const void *data, std::size_t size) override;
    void flush(contacts::FileHandle file) override;
    std::uint64_t length(contacts::FileHandle file) override;
    contacts::FileStamp stamp(contacts::FileHandle file) override;
    void close(contacts::FileHandle file) override;
    void rename(const std::filesystem::path &from, const std::filesystem::path &to) override;
    void remove(const std::filesystem::path &path) override;
    contacts::FileHandle lock(const std::filesystem::path &path) override;
    void unlock(contacts::FileHandle lock) override;
    void syncFolder(const std::filesystem::path &folder) override;
    std::filesystem::path resolve(const std::filesystem::path &path) override;
    // A file (where its links lead), a folder that holds a name, or nothing.
    contacts::PathKind kind(const std::filesystem::path &path) override;

private:
    // A name in a folder: a file's contents (by number) or a symbolic link.
    struct Entry {
        int file = -1;
        std::filesystem::path link;
    };
    using Folder = std::map<std::filesystem::path, Entry>;

    // A write, or a truncation when `data` is empty and `length` is set.
    struct Change {
        std::uint64_t offset = 0;
        std::string data;
        std::optional<std::uint64_t> length;
    };
    struct File {
        std::string durable;
        std::string current;
        std::vector<Change> unflushed;
        std::uint64_t changes = 0; // writes and truncations, for its stamp
    };
    // Names set (or removed, as nullopt) together, in one folder.
    struct FolderChange {
        std::filesystem::path folder;
        std::vector<std::pair<std::filesystem::path, std::optional<Entry>>> names;
    };
    struct Handle {
        int file;
        std::filesystem::path path;
    };

    class Call;
    void called();
    int newFile();
    void change(FolderChange change);
    // Follows links; the path that holds a file or nothing at all.
    std::filesystem::path follow(const std::filesystem::path &path) const;
    Handle &handle(contacts::FileHandle file, contacts::FileOp op);
    static void apply(std::string &content, const Change &change);
    [[noreturn]] static void fail(contacts::FileOp op, const std::filesystem::path &path, std::errc error);

    std::map<int, File> m_files;
    Folder m_visible;
    Folder m_durable;
    std::vector<FolderChange> m_unsynced;
    std::map<contacts::FileHandle, Handle> m_handles;
    contacts::FileHandle m_lastHandle = 2;
    std::map<std::filesystem::path, contacts::FileHandle> m_locks;

    std::uint64_t m_calls = 0;
    std::uint64_t m_cutAt = 0;
    std::uint32_t m_seed = 0;
    std::optional<Disk> m_afterCut;
};
