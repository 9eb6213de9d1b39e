#pragma once

#include <cstdint>
#include <string>

// The three registry calls the system-information launcher needs, shaped after the
// Windows ones (open key, query value, close key) so that the launcher's reading
// rules behave the same whichever backend answers: the real registry on Windows,
// a table elsewhere and in tests.
namespace platform {

using RegKey = std::uintptr_t;  // a key handle, or one of the predefined roots
using RegResult = long;         // 0 for success, otherwise a system error code

inline constexpr RegKey kHKeyClassesRoot = 0x80000000;
inline constexpr RegKey kHKeyCurrentUser = 0x80000001;
inline constexpr RegKey kHKeyLocalMachine = 0x80000002;
inline constexpr RegKey kHKeyUsers = 0x80000003;

inline constexpr RegResult kErrorSuccess = 0;
inline constexpr RegResult kErrorFileNotFound = 2;
inline constexpr RegResult kErrorInvalidHandle = 6;
inline constexpr RegResult kErrorInvalidParameter = 87;
inline constexpr RegResult kErrorMoreData = 234;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

class Registry {
public:
    virtual ~Registry() = default;

    // Opens `subKey` below `root`; on success stores the new handle in `*result`.
    virtual RegResult openKey(RegKey root, const std::string &subKey, std::uint32_t options,
                              std::uint32_t desiredAccess, RegKey *result) = 0;

    // Reads the value `valueName` of an open key. `*dataSize` goes in as the size of
    // `data` and comes back as the size of the value's data; a value larger than the
    // buffer gives kErrorMoreData and copies nothing. `type` may be null.
    virtual RegResult queryValue(RegKey key, const std::string &valueName, std::uint32_t *type,
                                 unsigned char *data, std::uint32_t *dataSize) = 0;

    virtual RegResult closeKey(RegKey key) = 0;
};

} // namespace platform
