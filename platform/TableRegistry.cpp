#include "platform/TableRegistry.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return text;
}

bool isRoot(RegKey key)
{
    return key >= kHKeyClassesRoot && key <= 0x80000006;
}

} // namespace

void TableRegistry::setString(RegKey root, const std::string &key, const std::string &name,
                              const std::string &text)
{
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    setValue(root, key, name, kRegSz, std::move(data));
}

void TableRegistry::setValue(RegKey root, const std::string &key, const std::string &name, std::uint32_t type,
                             std::vector<unsigned char> data)
{
    m_keys[Key{root, lower(key)}][lower(name)] = Value{type, std::move(data)};
}

RegResult TableRegistry::openKey(RegKey root, const std::string &subKey, std::uint32_t, std::uint32_t,
                                 RegKey *result)
{
    if (!isRoot(root) || result == nullptr)
        return kErrorInvalidHandle;
    m_lookups.push_back(subKey);
    const auto found = m_keys.find(Key{root, lower(subKey)});
    if (found == m_keys.end())
        return kErrorFileNotFound;
    const RegKey handle = m_nextHandle++;
    m_open[handle] = OpenKey{&found->second, subKey};
    *result = handle;
    return kErrorSuccess;
}

RegResult TableRegistry::queryValue(RegKey key, const std::string &valueName, std::uint32_t *type,
                                    unsigned char *data, std::uint32_t *dataSize)
{
    const auto open = m_open.find(key);
    if (open == m_open.end())
        return kErrorInvalidHandle;
    m_lookups.push_back(open->second.path + "\\" + valueName);

    const auto found = open->second.values->find(lower(valueName));
    if (found == open->second.values->end())
        return kErrorFileNotFound;
    const Value &value = found->second;
    if (type != nullptr)
        *type = value.type;
    if (dataSize == nullptr)
        return data == nullptr ? kErrorSuccess : kErrorInvalidParameter;

    const auto size = static_cast<std::uint32_t>(value.data.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return kErrorMoreData;
    }
    if (data != nullptr && size > 0)
        std::memcpy(data, value.data.data(), size);
    *dataSize = size;
    return kErrorSuccess;
}

RegResult TableRegistry::closeKey(RegKey key)
{
    return m_open.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

} // namespace platform
