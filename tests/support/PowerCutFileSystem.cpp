#include "tests/support/PowerCutFileSystem.h"

#include <algorithm>
#include <cstring>
#include <random>

using contacts::FileError;
using contacts::FileHandle;
using contacts::FileOp;
namespace fs = std::filesystem;

// Counts a call when it ends, however it ends, so that a cut after it sees its effect.
class PowerCutFileSystem::Call {
public:
    explicit Call(PowerCutFileSystem &fs) : m_fs(fs) {}
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
    ~Call() { m_fs.called(); }

private:
    PowerCutFileSystem &m_fs;
};

PowerCutFileSystem::PowerCutFileSystem(const Disk &disk)
{
    for (const auto &[path, content] : disk.files) {
        const int number = newFile();
        m_files[number].durable = m_files[number].current = content;
        m_visible[path] = m_durable[path] = Entry{number, {}};
    }
    for (const auto &[path, target] : disk.links)
        m_visible[path] = m_durable[path] = Entry{-1, target};
}

void PowerCutFileSystem::cutAfter(std::uint64_t n, std::uint32_t seed)
{
    m_cutAt = m_calls + n;
    m_seed = seed;
    m_afterCut.reset();
}

void PowerCutFileSystem::called()
{
    if (++m_calls == m_cutAt)
        m_afterCut = cut(m_seed);
}

PowerCutFileSystem::Disk PowerCutFileSystem::cut(std::uint32_t seed) const
{
    std::mt19937 random(seed);
    Folder names = m_durable;
    for (const FolderChange &change : m_unsynced) {
        if (random() % 2 == 0)
            continue;
        for (const auto &[name, entry] : change.names) {
            if (entry)
                names[name] = *entry;
            else
                names.erase(name);
        }
    }
    std::map<int, std::string> contents;
    for (const auto &[number, file] : m_files) {
        std::string content = file.durable;
        for (const Change &change : file.unflushed) {
            const unsigned fate = random() % 3;
            if (fate == 0)
                continue; // lost
            if (fate == 1 || change.length) {
                apply(content, change);
                continue;
            }
            // Torn: each sector it touches reached the disk or did not.
            const std::uint64_t end = change.offset + change.data.size();
            for (std::uint64_t at = change.offset; at < end;) {
                const std::uint64_t sectorEnd = std::min<std::uint64_t>((at / kSector + 1) * kSector, end);
                if (random() % 2)
                    apply(content, Change{at, change.data.substr(at - change.offset, sectorEnd - at), {}});
                at = sectorEnd;
            }
        }
        contents[number] = std::move(content);
    }
    Disk disk;
    for (const auto &[name, entry] : names) {
        if (entry.file >= 0)
            disk.files[name] = contents[entry.file];
        else
            disk.links[name] = entry.link;
    }
    return disk;
}

PowerCutFileSystem::Disk PowerCutFileSystem::visible() const
{
    Disk disk;
    for (const auto &[name, entry] : m_visible) {
        if (entry.file >= 0)
            disk.files[name] = m_files.at(entry.file).current;
        else
            disk.links[name] = entry.link;
    }
    return disk;
}

int PowerCutFileSystem::newFile()
{
    const int number = m_files.empty() ? 0 : m_files.rbegin()->first + 1;
    m_files[number];
    return number;
}

void PowerCutFileSystem::change(FolderChange change)
{
    for (const auto &[name, entry] : change.names) {
        if (entry)
            m_visible[name] = *entry;
        else
            m_visible.erase(name);
    }
    m_unsynced.push_back(std::move(change));
}

fs::path PowerCutFileSystem::follow(const fs::path &path) const
{
    fs::path at = path;
    for (int hops = 0; hops < 40; ++hops) {
        const auto it = m_visible.find(at);
        if (it == m_visible.end() || it->second.file >= 0)
            return at;
        at = it->second.link.is_absolute() ? it->second.link : at.parent_path() / it->second.link;
    }
    fail(FileOp::Open, path, std::errc::too_many_symbolic_link_levels);
}

PowerCutFileSystem::Handle &PowerCutFileSystem::handle(FileHandle file, FileOp op)
{
    const auto it = m_handles.find(file);
    if (it == m_handles.end())
        fail(op, "?", std::errc::bad_file_descriptor);
    return it->second;
}

void PowerCutFileSystem::apply(std::string &content, const Change &change)
{
    if (change.length) {
        content.resize(*change.length, '\0');
        return;
    }
    if (content.size() < change.offset + change.data.size())
        content.resize(change.offset + change.data.size(), '\0');
    content.replace(change.offset, change.data.size(), change.data);
}

void PowerCutFileSystem::fail(FileOp op, const fs::path &path, std::errc error)
{
    throw FileError(op, path, std::make_error_code(error));
}

FileHandle PowerCutFileSystem::open(const fs::path &path, OpenMode mode)
{
    Call call(*this);
    if (mode == OpenMode::CreateNew && m_visible.count(path) != 0)
        fail(FileOp::Open, path, std::errc::file_exists);
    const fs::path at = follow(path);
    const auto it = m_visible.find(at);
    int number;
    if (it == m_visible.end()) {
        if (mode == OpenMode::ReadOnly || mode == OpenMode::ReadWriteExisting)
            fail(FileOp::Open, path, std::errc::no_such_file_or_directory);
        number = newFile();
        change({at.parent_path(), {{at, Entry{number, {}}}}});
    } else {
        number = it->second.file;
        File &file = m_files[number];
        if (mode == OpenMode::ReadWriteEmpty && !file.current.empty()) {
            Change emptied{0, {}, 0};
            apply(file.current, emptied);
            ++file.changes;
            file.unflushed.push_back(std::move(emptied));
        }
    }
    m_handles[++m_lastHandle] = Handle{number, path};
    return m_lastHandle;
}

std::size_t PowerCutFileSystem::read(FileHandle file, std::uint64_t offset, void *buffer, std::size_t size)
{
    Call call(*this);
    const std::string &content = m_files[handle(file, FileOp::Read).file].current;
    if (offset >= content.size())
        return 0;
    const std::size_t got = std::min<std::uint64_t>(size, content.size() - offset);
    std::memcpy(buffer, content.data() + offset, got);
    return got;
}

void PowerCutFileSystem::write(FileHandle file, std::uint64_t offset, const void *data, std::size_t size)
{
    Call call(*this);
    File &target = m_files[handle(file, FileOp::Write).file];
    Change written{offset, std::string(static_cast<const char *>(data), size), {}};
    apply(target.current, written);
    ++target.changes;
    target.unflushed.push_back(std::move(written));
}

void PowerCutFileSystem::flush(FileHandle file)
{
    Call call(*this);
    File &target = m_files[handle(file, FileOp::Flush).file];
    target.durable = target.current;
    target.unflushed.clear();
}

std::uint64_t PowerCutFileSystem::length(FileHandle file)
{
    Call call(*this);
    return m_files[handle(file, FileOp::Length).file].current.size();
}

contacts::FileStamp PowerCutFileSystem::stamp(FileHandle file)
{
    Call call(*this);
    const int number = handle(file, FileOp::Length).file;
    const File &target = m_files[number];
    // Files are numbered afresh, never again: the number is the file's identity.
    return {true, 0, static_cast<std::uint64_t>(number), target.current.size(),
            static_cast<std::int64_t>(target.changes)};
}

void PowerCutFileSystem::close(FileHandle file)
{
    Call call(*this);
    handle(file, FileOp::Close);
    m_handles.erase(file);
}

void PowerCutFileSystem::rename(const fs::path &from, const fs::path &to)
{
    Call call(*this);
    const auto it = m_visible.find(from);
    if (it == m_visible.end())
        fail(FileOp::Rename, from, std::errc::no_such_file_or_directory);
    const Entry moved = it->second;
    // One change, made durable by a sync of the folder it lands in.
    change({to.parent_path(), {{from, std::nullopt}, {to, moved}}});
}

void PowerCutFileSystem::remove(const fs::path &path)
{
    Call call(*this);
    if (!m_visible.count(path))
        fail(FileOp::Remove, path, std::errc::no_such_file_or_directory);
    change({path.parent_path(), {{path, std::nullopt}}});
}

FileHandle PowerCutFileSystem::lock(const fs::path &path)
{
    Call call(*this);
    const fs::path at = follow(path);
    // One process: a second lock would wait for ever.
    if (m_locks.count(at))
        fail(FileOp::Lock, path, std::errc::resource_deadlock_would_occur);
    int number;
    if (const auto it = m_visible.find(at); it != m_visible.end()) {
        number = it->second.file;
    } else {
        number = newFile();
        change({at.parent_path(), {{at, Entry{number, {}}}}});
    }
    m_handles[++m_lastHandle] = Handle{number, path};
    m_locks[at] = m_lastHandle;
    return m_lastHandle;
}

void PowerCutFileSystem::unlock(FileHandle lock)
{
    Call call(*this);
    handle(lock, FileOp::Lock);
    m_handles.erase(lock);
    std::erase_if(m_locks, [&](const auto &held) { return held.second == lock; });
}

void PowerCutFileSystem::syncFolder(const fs::path &folder)
{
    Call call(*this);
    std::vector<FolderChange> still;
    for (FolderChange &change : m_unsynced) {
        if (change.folder != folder) {
            still.push_back(std::move(change));
            continue;
        }
        for (const auto &[name, entry] : change.names) {
            if (entry)
                m_durable[name] = *entry;
            else
                m_durable.erase(name);
        }
    }
    m_unsynced = std::move(still);
}

contacts::PathKind PowerCutFileSystem::kind(const fs::path &path)
{
    Call call(*this);
    if (m_visible.count(follow(path)) != 0)
        return contacts::PathKind::File;
    for (const auto &[name, entry] : m_visible) {
        const auto [inPath, inName] = std::mismatch(path.begin(), path.end(), name.begin(), name.end());
        if (inPath == path.end() && inName != name.end())
            return contacts::PathKind::Folder;
    }
    return contacts::PathKind::Missing;
}

fs::path PowerCutFileSystem::resolve(const fs::path &path)
{
    Call call(*this);
    if (!m_visible.count(path))
        return path;
    const fs::path at = follow(path);
    if (!m_visible.count(at))
        fail(FileOp::Open, path, std::errc::no_such_file_or_directory);
    return at;
}
