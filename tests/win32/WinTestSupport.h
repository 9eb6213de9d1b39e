#pragma once

// What the Windows tests share: throwaway folders, and looks at files through the
// system's own calls rather than through the file layer under test.
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "tests/support/TempFolder.h"
#include "tests/support/FileProbes.h"

#include <windows.h>

namespace wintest {

namespace fs = std::filesystem;

using testfiles::TempFolder;

using winprobe::isOpen;
using winprobe::lockIsFree;

// Waits up to `limit` for `path` to exist.
inline bool waitForFile(const fs::path &path, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::error_code error;
        if (fs::exists(path, error))
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

inline std::string utf8(const std::wstring &wide)
{
    if (wide.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// Whether `text` is well-formed UTF-8.
inline bool isUtf8(const std::string &text)
{
    return text.empty()
        || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0) > 0;
}

} // namespace wintest
