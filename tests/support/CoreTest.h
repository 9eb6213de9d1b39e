#pragma once

// What the contact core's tests share on every platform: doctest, tables of rows,
// throwaway folders, and looks at open files and locks through the system's own
// calls rather than through the file layer under test.
#include "contacts/FileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempFolder.h"

#include <doctest/doctest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "tests/support/FileProbes.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace doctest {
template <>
struct StringMaker<contacts::FileOp> {
    static String convert(contacts::FileOp op) { return contacts::name(op); }
};
template <>
struct StringMaker<std::vector<std::string>> {
    static String convert(const std::vector<std::string> &texts)
    {
        std::string out = "{";
        for (const std::string &text : texts)
            out += (out.size() > 1 ? ", \"" : "\"") + text + "\"";
        return (out + "}").c_str();
    }
};
} // namespace doctest

namespace coretest {

namespace fs = std::filesystem;

// Runs `body` once for each row, as a subcase named after it: a failing row names
// itself and the other rows still run. doctest ends the whole test case when a
// subcase throws, a failed REQUIRE included, so the row's end is caught here.
template <typename Row, typename Body>
void eachRow(const std::vector<Row> &rows, Body body)
{
    for (const Row &row : rows) {
        SUBCASE(row.name.c_str()) {
            try {
                body(row);
            } catch (const doctest::detail::TestFailureException &) {
                // A REQUIRE that failed: already reported.
            } catch (const std::exception &error) {
                FAIL_CHECK("unexpected exception: " << std::string(error.what()));
            } catch (...) {
                FAIL_CHECK("unexpected exception");
            }
        }
    }
}

using testfiles::TempFolder;

#ifdef _WIN32

using winprobe::isOpen;
using winprobe::lockIsFree;

// The file's identity and last write: unchanged when nothing wrote or replaced it.
inline std::array<std::uint64_t, 3> stamp(const fs::path &path)
{
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle != INVALID_HANDLE_VALUE) {
        ::GetFileInformationByHandle(handle, &info);
        ::CloseHandle(handle);
    }
    return {info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            (std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime};
}

// Whether every file a command opened in `folder` is closed again. Wine counts no
// handles per process, so each file of the folder is asked whether it is still open.
class OpenFiles {
public:
    explicit OpenFiles(fs::path folder) : m_folder(std::move(folder)) {}
    bool released() const
    {
        for (const auto &entry : fs::directory_iterator(m_folder)) {
            if (entry.is_regular_file() && isOpen(entry.path()))
                return false;
        }
        return true;
    }

private:
    fs::path m_folder;
};

#else

inline bool lockIsFree(const fs::path &path)
{
    const int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    const bool free = handle >= 0 && ::flock(handle, LOCK_EX | LOCK_NB) == 0;
    if (handle >= 0)
        ::close(handle);
    return free;
}

inline long openDescriptors()
{
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

// True when this process has the file open.
inline bool isOpen(const fs::path &path)
{
    const fs::path wanted = fs::weakly_canonical(path);
    for (const auto &entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(entry.path(), error) == wanted)
            return true;
    }
    return false;
}

inline std::array<std::uint64_t, 3> stamp(const fs::path &path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino),
            std::uint64_t(info.st_mtim.tv_sec) * 1'000'000'000u + std::uint64_t(info.st_mtim.tv_nsec)};
}

// Whether a command closed every file it opened: the process holds no more
// descriptors than when this was made.
class OpenFiles {
public:
    explicit OpenFiles(const fs::path &) : m_count(openDescriptors()) {}
    bool released() const { return openDescriptors() == m_count; }

private:
    long m_count;
};

#endif

} // namespace coretest
