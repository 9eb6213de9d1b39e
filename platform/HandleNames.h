#pragma once

#include "contacts/FileSystem.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform {

// The file each open handle was opened on, so that an error on a handle names the
// file the user knows rather than a number.
class HandleNames {
public:
    // `unknown` prefixes the number of a handle this table never saw ("fd ").
    explicit HandleNames(std::string unknown) : m_unknown(std::move(unknown)) {}

    std::filesystem::path nameOf(contacts::FileHandle handle) const
    {
        std::lock_guard guard(m_mutex);
        const auto it = m_names.find(handle);
        return it == m_names.end() ? std::filesystem::path(m_unknown + std::to_string(handle)) : it->second;
    }
    void remember(contacts::FileHandle handle, const std::filesystem::path &path)
    {
        std::lock_guard guard(m_mutex);
        m_names[handle] = path;
    }
    void forget(contacts::FileHandle handle)
    {
        std::lock_guard guard(m_mutex);
        m_names.erase(handle);
    }

private:
    std::string m_unknown;
    mutable std::mutex m_mutex;
    std::unordered_map<contacts::FileHandle, std::filesystem::path> m_names;
};

} // namespace platform
