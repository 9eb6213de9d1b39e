#pragma once

// What the Windows tests share: throwaway folders, and looks at files through the
// system's own calls rather than through the file layer under test.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "tests/windows/FileProbes.h"

#include <windows.h>

namespace wintest {

namespace fs = std::filesystem;

// A new empty folder under the system's temporary folder, removed with all it holds
// when done. `tag` may hold any characters: tests use it to put accents in the path.
class TempFolder {
public:
    explicit TempFolder(const std::wstring &tag = L"vorteda")
    {
        static std::atomic<int> serial{0};
        wchar_t base[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
        m_path = fs::path(std::wstring(base, length))
            / (tag + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    ~TempFolder()
    {
        // A program started from here may take a moment to end and let go of its file.
        for (int attempt = 0; attempt < 40; ++attempt) {
            std::error_code error;
            fs::remove_all(m_path, error);
            if (!error)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    const fs::path &path() const { return m_path; }
    fs::path operator/(const fs::path &name) const { return m_path / name; }

private:
    fs::path m_path;
};

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
