#pragma once

// A throwaway folder for the Qt-free tests, on Linux and under Wine alike.
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <thread>

namespace testfiles {

// A new empty folder under the system's temporary folder, removed with all it holds
// when done. `tag` may hold any characters: tests use it to put accents in the path.
class TempFolder {
public:
    explicit TempFolder(const std::filesystem::path &tag = "vorteda")
    {
        std::random_device random;
        for (;;) {
            m_path = std::filesystem::temp_directory_path() / tag;
            m_path += "-" + std::to_string(random()) + std::to_string(random());
            if (std::filesystem::create_directories(m_path))
                return;
        }
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    ~TempFolder()
    {
        // Windows lets go of a file a moment after its last handle closes, and a
        // program started from here may take a moment to end.
        for (int attempt = 0; attempt < 40; ++attempt) {
            std::error_code error;
            std::filesystem::remove_all(m_path, error);
            if (!error)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace testfiles
