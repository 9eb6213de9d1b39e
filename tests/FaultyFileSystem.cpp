#include "tests/FaultyFileSystem.h"

using contacts::FileError;
using contacts::FileHandle;
using contacts::FileOp;

FaultyFileSystem::FaultyFileSystem(contacts::FileSystem &real)
    : m_real(real)
{
}

void FaultyFileSystem::failAt(std::uint64_t n, std::errc error)
{
    m_failAt = n == 0 ? 0 : m_calls + n;
    m_error = error;
}

void FaultyFileSystem::reset()
{
    m_calls = 0;
    m_failAt = 0;
    m_log.clear();
}

bool FaultyFileSystem::due(FileOp op)
{
    ++m_calls;
    m_log.push_back(op);
    return m_calls == m_failAt;
}

void FaultyFileSystem::raise(FileOp op, const std::filesystem::path &path)
{
    throw FileError(op, path, std::make_error_code(m_error));
}

void FaultyFileSystem::step(FileOp op, const std::filesystem::path &path)
{
    if (due(op))
        raise(op, path);
}

std::filesystem::path FaultyFileSystem::nameOf(FileHandle file) const
{
    const auto it = m_names.find(file);
    return it == m_names.end() ? std::filesystem::path("?") : it->second;
}

FileHandle FaultyFileSystem::open(const std::filesystem::path &path, OpenMode mode)
{
    step(FileOp::Open, path);
    const FileHandle file = m_real.open(path, mode);
    m_names[file] = path;
    return file;
}

std::size_t FaultyFileSystem::read(FileHandle file, std::uint64_t offset, void *buffer, std::size_t size)
{
    step(FileOp::Read, nameOf(file));
    return m_real.read(file, offset, buffer, size);
}

void FaultyFileSystem::write(FileHandle file, std::uint64_t offset, const void *data, std::size_t size)
{
    if (due(FileOp::Write)) {
        // As a disk that fills up part way: the first half lands, then the error.
        m_real.write(file, offset, data, size / 2);
        raise(FileOp::Write, nameOf(file));
    }
    m_real.write(file, offset, data, size);
}

void FaultyFileSystem::flush(FileHandle file)
{
    step(FileOp::Flush, nameOf(file));
    m_real.flush(file);
}

std::uint64_t FaultyFileSystem::length(FileHandle file)
{
    step(FileOp::Length, nameOf(file));
    return m_real.length(file);
}

void FaultyFileSystem::close(FileHandle file)
{
    const bool fails = due(FileOp::Close);
    const auto name = nameOf(file);
    m_names.erase(file);
    // A failed close still releases the handle, as the system's does.
    m_real.close(file);
    if (fails)
        raise(FileOp::Close, name);
}

void FaultyFileSystem::rename(const std::filesystem::path &from, const std::filesystem::path &to)
{
    step(FileOp::Rename, from);
    m_real.rename(from, to);
}

void FaultyFileSystem::remove(const std::filesystem::path &path)
{
    step(FileOp::Remove, path);
    m_real.remove(path);
}

FileHandle FaultyFileSystem::lock(const std::filesystem::path &path)
{
    step(FileOp::Lock, path);
    const FileHandle file = m_real.lock(path);
    m_names[file] = path;
    return file;
}

void FaultyFileSystem::unlock(FileHandle lock)
{
    // Like close: the lock is released even when the call reports a failure.
    const bool fails = due(FileOp::Lock);
    const auto name = nameOf(lock);
    m_names.erase(lock);
    m_real.unlock(lock);
    if (fails)
        raise(FileOp::Lock, name);
}

void FaultyFileSystem::syncFolder(const std::filesystem::path &folder)
{
    step(FileOp::SyncFolder, folder);
    m_real.syncFolder(folder);
}

std::filesystem::path FaultyFileSystem::resolve(const std::filesystem::path &path)
{
    step(FileOp::Open, path);
    return m_real.resolve(path);
}
