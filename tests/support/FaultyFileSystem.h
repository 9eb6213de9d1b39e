#pragma once

#include "contacts/FileSystem.h"
#include "platform/SystemFileSystem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <system_error>
#include <vector>

// Passes every call to a real file system, counting them, and makes the Nth call
// (1-based, across all operations) fail with a chosen error instead.
class FaultyFileSystem : public contacts::FileSystem {
public:
    // Told the number (1-based, since construction or reset()) and operation of a call.
    using CallHook = std::function<void(std::uint64_t call, contacts::FileOp op)>;

    explicit FaultyFileSystem(contacts::FileSystem &real = platform::systemFileSystem());

    // Fail call number `n` (counted from now) with `error`; 0 disarms.
    void failAt(std::uint64_t n, std::errc error = std::errc::io_error);
    // `before` runs as each call starts, `after` once it is over however it ended, its
    // failure included; so a test can stop the process or look at the disk around any
    // call. `after` must not throw: it runs while a failure is on its way up.
    void onCall(CallHook before, CallHook after);
    // Calls made since construction or the last reset().
    std::uint64_t calls() const { return m_calls; }
    void reset();
    // The operation of every call since construction or the last reset(), in order
    // (the failed one included).
    const std::vector<contacts::FileOp> &log() const { return m_log; }

    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override;
    // Counted and failed as an open: looking at the path is the first step of opening.
    contacts::PathKind kind(const std::filesystem::path &path) override;
    std::size_t read(contacts::FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override;
    void write(contacts::FileHandle file, std::uint64_t offset, const void *data, std::size_t size) override;
    void flush(contacts::FileHandle file) override;
    std::uint64_t length(contacts::FileHandle file) override;
    // Counted and failed as a length: the same look at the open file.
    contacts::FileStamp stamp(contacts::FileHandle file) override;
    void close(contacts::FileHandle file) override;
    void rename(const std::filesystem::path &from, const std::filesystem::path &to) override;
    void remove(const std::filesystem::path &path) override;
    contacts::FileHandle lock(const std::filesystem::path &path) override;
    void unlock(contacts::FileHandle lock) override;
    void syncFolder(const std::filesystem::path &folder) override;
    // Counted and failed as an open: following a link is the first step of opening.
    std::filesystem::path resolve(const std::filesystem::path &path) override;

private:
    // Runs the after-hook of the call under way when it goes out of scope.
    class AfterCall {
    public:
        explicit AfterCall(const FaultyFileSystem &owner)
            : m_owner(owner), m_call(owner.m_calls), m_op(owner.m_log.back())
        {
        }
        AfterCall(const AfterCall &) = delete;
        AfterCall &operator=(const AfterCall &) = delete;
        ~AfterCall()
        {
            if (m_owner.m_after)
                m_owner.m_after(m_call, m_op);
        }

    private:
        const FaultyFileSystem &m_owner;
        std::uint64_t m_call;
        contacts::FileOp m_op;
    };

    // Counts the call and fails it when due; what it returns runs the after-hook.
    AfterCall step(contacts::FileOp op, const std::filesystem::path &path);
    // Counts the call; true when it is the one to fail.
    bool due(contacts::FileOp op);
    [[noreturn]] void raise(contacts::FileOp op, const std::filesystem::path &path);
    std::filesystem::path nameOf(contacts::FileHandle file) const;

    contacts::FileSystem &m_real;
    std::uint64_t m_calls = 0;
    std::uint64_t m_failAt = 0;
    std::errc m_error = std::errc::io_error;
    std::vector<contacts::FileOp> m_log;
    std::map<contacts::FileHandle, std::filesystem::path> m_names;
    CallHook m_before;
    CallHook m_after;
};
