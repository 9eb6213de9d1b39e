#include "tests/support/FaultyFileSystem.h"

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

void FaultyFileSystem::onCall(CallHook before, CallHook after)
{
    m_before = std::move(before);
    m_after = std::move(after);
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
    if (m_before)
        m_before(m_calls, op);
    return m_calls == m_failAt;
}

void FaultyFileSystem::raise(FileOp op, const std::filesystem::path &path)
{
    throw FileError(op, path, std::make_error_code(m_error));
}

FaultyFileSystem::AfterCall FaultyFileSystem::step(FileOp op, const std::filesystem::path &path)
{
    if (due(op)) {
        const AfterCall after(*this);
        raise(op, path);
    }
    return AfterCall(*this);
}

std::filesystem::path FaultyFileSystem::nameOf(FileHandle file) const
{
    const auto it = m_names.find(file);
    return it == m_names.end() ? std::filesystem::path("?") : it->second;
}

FileHandle FaultyFileSystem::open(const std::filesystem::path &path, OpenMode mode)
{
    const AfterCall after = step(FileOp::Open, path);
    const FileHandle file = m_real.open(path, mode);
    m_names[file] = path;
    return file;
}

std::size_t FaultyFileSystem::read(FileHandle file, std::uint64_t offset, void *buffer, std::size_t size)
{
    const AfterCall after = step(FileOp::Read, nameOf(file));
    return m_real.read(file, offset, buffer, size);
}

void FaultyFileSystem::write(FileHandle file, std::uint64_t offset, const void *data, std::size_t size)
{
    const bool fails = due(FileOp::Write);
    const AfterCall after(*this);
    if (fails) {
        // As a disk that fills up part way: the first half lands, then the error.
        m_real.write(file, offset, data, size / 2);
        raise(FileOp::Write, nameOf(file));
    }
    m_real.write(file, offset, data, size);
}

void FaultyFileSystem::flush(FileHandle file)
{
    const AfterCall after = step(FileOp::Flush, nameOf(file));
    m_real.flush(file);
}

std::uint64_t FaultyFileSystem::length(FileHandle file)
{
    const AfterCall after = step(FileOp::Length, nameOf(file));
    return m_real.length(file);
}

contacts::FileStamp FaultyFileSystem::stamp(FileHandle file)
{
    const AfterCall after = step(FileOp::Length, nameOf(file));
    return m_real.stamp(file);
}

void FaultyFileSystem::close(FileHandle file)
{
    const bool fails = due(FileOp::Close);
    const AfterCall after(*this);
    const auto name = nameOf(file);
    m_names.erase(file);
    // A failed close still releases the handle, as the system's does.
    m_real.close(file);
    if (fails)
        raise(FileOp::Close, name);
}

void FaultyFileSystem::rename(const std::filesystem::path &from, const std::filesystem::path &to)
{
    const AfterCall after = step(FileOp::Rename, from);
    m_real.rename(from, to);
}

void FaultyFileSystem::remove(const std::filesystem::path &path)
{
    const AfterCall after = step(FileOp::Remove, path);
    m_real.remove(path);
}

FileHandle FaultyFileSystem::lock(const std::filesystem::path &path)
{
    const AfterCall after = step(FileOp::Lock, path);
    const FileHandle file = m_real.lock(path);
    m_names[file] = path;
    return file;
}

void FaultyFileSystem::unlock(FileHandle lock)
{
    // Like close: the lock is released even when the call reports a failure.
    const bool fails = due(FileOp::Lock);
    const AfterCall after(*this);
    const auto name = nameOf(lock);
    m_names.erase(lock);
    m_real.unlock(lock);
    if (fails)
        raise(FileOp::Lock, name);
}

void FaultyFileSystem::syncFolder(const std::filesystem::path &folder)
{
    const AfterCall after = step(FileOp::SyncFolder, folder);
    m_real.syncFolder(folder);
}

contacts::PathKind FaultyFileSystem::kind(const std::filesystem::path &path)
{
    const AfterCall after = step(FileOp::Open, path);
    return m_real.kind(path);
}

std::filesystem::path FaultyFileSystem::resolve(const std::filesystem::path &path)
{
    const AfterCall after = step(FileOp::Open, path);
    return m_real.resolve(path);
}
