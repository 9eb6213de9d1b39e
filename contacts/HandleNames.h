#pragma once

#include "contacts/FileSystem.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

namespace contacts {

// The file each open handle was opened on, so that an error on a handle names the
// file the user knows rather than a number.
class HandleNames {
public:
    // `unknown` prefixes the number of a handle this table never saw ("fd ").
    explicit HandleNames(std::string unknown) : m_unknown(std::move(unknown)) {}

    std::filesystem::path nameOf(FileHandle handle) const
    {
        std::lock_guard guard(m_mutex);
        const auto it = m_names.find(handle);
        return it == m_names.end() ? std::filesystem::path(m_unknown + std::to_string(handle)) : it->second;
    }
    void remember(FileHandle handle, const std::filesystem::path &path)
    {
        std::lock_guard guard(m_mutex);
        m_names[handle] = path;
    }
    void forget(FileHandle handle)
    {
        std::lock_guard guard(m_mutex);
        m_names.erase(handle);
    }

private:
    std::string m_unknown;
    mutable std::mutex m_mutex;
    std::unordered_map<FileHandle, std::filesystem::path> m_names;
};

} // namespace contacts
