#pragma once

// The file layer held in memory, for the fuzzer: fast, and with the system's
// meaning of a handle (it keeps the file it opened, even once renamed over).
#include "contacts/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>

class MemoryFileSystem final : public contacts::FileSystem {
public:
    using Content = std::shared_ptr<std::string>;

    std::map<std::string, Content> files;

    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override
    {
        auto it = files.find(path.string());
        if (it == files.end()) {
            if (mode == OpenMode::ReadOnly || mode == OpenMode::ReadWriteExisting)
                fail(contacts::FileOp::Open, path, ENOENT);
            it = files.emplace(path.string(), std::make_shared<std::string>()).first;
        } else if (mode == OpenMode::CreateNew) {
            fail(contacts::FileOp::Open, path, EEXIST);
        } else if (mode == OpenMode::ReadWriteEmpty) {
            it->second->clear();
            ++m_writes;
        }
        m_handles[++m_last] = it->second;
        return m_last;
    }
    // A file, a folder that holds one, or nothing.
    contacts::PathKind kind(const std::filesystem::path &path) override
    {
        if (files.count(path.string()) != 0)
            return contacts::PathKind::File;
        for (const auto &[name, content] : files)
            if (std::filesystem::path(name).parent_path() == path)
                return contacts::PathKind::Folder;
        return contacts::PathKind::Missing;
    }
    std::size_t read(contacts::FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override
    {
        const std::string &content = *handle(file);
        if (offset >= content.size())
            return 0;
        const std::size_t got = std::min<std::uint64_t>(size, content.size() - offset);
        std::memcpy(buffer, content.data() + offset, got);
        return got;
    }
    void write(contacts::FileHandle file, std::uint64_t offset, const void *data, std::size_t size) override
    {
        std::string &content = *handle(file);
        if (content.size() < offset + size)
            content.resize(offset + size, '\0');
        std::memcpy(content.data() + offset, data, size);
        ++m_writes;
    }
    void flush(contacts::FileHandle file) override { handle(file); }
    std::uint64_t length(contacts::FileHandle file) override { return handle(file)->size(); }
    // Any write anywhere counts as a change of every file: never the same stamp for
    // other contents, even where a freed file's memory is taken again.
    contacts::FileStamp stamp(contacts::FileHandle file) override
    {
        const Content &content = handle(file);
        return {true, 0, reinterpret_cast<std::uintptr_t>(content.get()), content->size(),
                static_cast<std::int64_t>(m_writes)};
    }
    void close(contacts::FileHandle file) override
    {
        handle(file);
        m_handles.erase(file);
    }
    void rename(const std::filesystem::path &from, const std::filesystem::path &to) override
    {
        const auto it = files.find(from.string());
        if (it == files.end())
            fail(contacts::FileOp::Rename, from, ENOENT);
        const Content content = it->second;
        files.erase(it);
        files[to.string()] = content;
    }
    void remove(const std::filesystem::path &path) override
    {
        if (files.erase(path.string()) == 0)
            fail(contacts::FileOp::Remove, path, ENOENT);
    }
    contacts::FileHandle lock(const std::filesystem::path &path) override
    {
        if (m_locked)
            fail(contacts::FileOp::Lock, path, EDEADLK); // one process: a second lock would wait for ever
        m_locked = true;
        return open(path, OpenMode::ReadWrite);
    }
    void unlock(contacts::FileHandle lock) override
    {
        close(lock);
        m_locked = false;
    }
    void syncFolder(const std::filesystem::path &) override {}
    // No links here.
    std::filesystem::path resolve(const std::filesystem::path &path) override { return path; }

    // Every handle opened has been closed, the lock included.
    bool allClosed() const { return m_handles.empty() && !m_locked; }

private:
    [[noreturn]] static void fail(contacts::FileOp op, const std::filesystem::path &path, int error)
    {
        throw contacts::FileError(op, path, std::error_code(error, std::generic_category()));
    }
    Content &handle(contacts::FileHandle file)
    {
        const auto it = m_handles.find(file);
        if (it == m_handles.end())
            fail(contacts::FileOp::Read, "?", EBADF);
        return it->second;
    }

    std::map<contacts::FileHandle, Content> m_handles;
    contacts::FileHandle m_last = 2;
    bool m_locked = false;
    std::uint64_t m_writes = 0;
};
