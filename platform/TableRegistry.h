#pragma once

#include "platform/Registry.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace platform {

// A registry held in memory: keys under the predefined roots, each with typed values.
// Key paths and value names compare without regard to ASCII case, as the Windows
// registry does. It stands in for the registry where there is none, and lets tests
// set up any value, of any type and size.
class TableRegistry : public Registry {
public:
    // Stores `text` as REG_SZ with its terminating zero byte, as Windows does.
    void setString(RegKey root, const std::string &key, const std::string &name, const std::string &text);
    // Stores exactly `data`, of any type, with no terminating zero added.
    void setValue(RegKey root, const std::string &key, const std::string &name, std::uint32_t type,
                  std::vector<unsigned char> data);

    RegResult openKey(RegKey root, const std::string &subKey, std::uint32_t options,
                      std::uint32_t desiredAccess, RegKey *result) override;
    RegResult queryValue(RegKey key, const std::string &valueName, std::uint32_t *type,
                         unsigned char *data, std::uint32_t *dataSize) override;
    RegResult closeKey(RegKey key) override;

    // What callers asked for, in order: each key they tried to open ("path") and each
    // value they queried ("path\name"), as they wrote them; and how many handles
    // are still open.
    const std::vector<std::string> &lookups() const { return m_lookups; }
    std::size_t openHandles() const { return m_open.size(); }

private:
    struct Value {
        std::uint32_t type;
        std::vector<unsigned char> data;
    };
    using Values = std::map<std::string, Value>;  // by lower-case value name
    struct Key {
        RegKey root;
        std::string path;  // lower case
        bool operator<(const Key &other) const
        {
            return root != other.root ? root < other.root : path < other.path;
        }
    };

    std::map<Key, Values> m_keys;
    struct OpenKey {
        const Values *values;
        std::string path;  // as the caller wrote it
    };

    std::map<RegKey, OpenKey> m_open;
    RegKey m_nextHandle = 0x100;
    std::vector<std::string> m_lookups;
};

} // namespace platform
