#include "platform/ContactsFolder.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/WindowsSystem.h"

#include <windows.h>
#else
#include <cerrno>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

#ifdef _WIN32

std::error_code lastError()
{
    return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

// Makes `folder` inside an existing one; an existing folder of that name will do.
std::error_code makeFolder(const std::filesystem::path &folder)
{
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return lastError();
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::make_error_code(std::errc::not_a_directory);
    return {};
}

#else

std::error_code lastError()
{
    return std::error_code(errno, std::generic_category());
}

bool isFolder(const std::filesystem::path &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the folders of `below` under `base`, which must be a folder already, each
// private to the user; existing folders on the way will do.
std::error_code makeFolders(const std::filesystem::path &base, const std::filesystem::path &below)
{
    struct stat st;
    if (::stat(base.c_str(), &st) != 0)
        return lastError();
    if (!S_ISDIR(st.st_mode))
        return std::make_error_code(std::errc::not_a_directory);
    std::filesystem::path folder = base;
    for (const std::filesystem::path &part : below) {
        folder /= part;
        if (::mkdir(folder.c_str(), 0700) != 0) {
            const std::error_code error = lastError();
            if (error != std::errc::file_exists)
                return error;
            if (!isFolder(folder))
                return std::make_error_code(std::errc::not_a_directory);
        }
    }
    return {};
}

// An environment variable's value when it is an absolute path.
const char *absoluteVariable(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

#endif

} // namespace

#ifdef _WIN32

ContactsFolder besideProgram()
{
    try {
        return {windows::programFolder(), {}};
    } catch (const std::system_error &error) {
        return {std::filesystem::path(), error.code()};
    }
}

ContactsFolder inUserData()
{
    const wchar_t *localAppData = ::_wgetenv(L"LOCALAPPDATA");
    const std::filesystem::path base = localAppData != nullptr ? localAppData : L"";
    if (!base.is_absolute())
        return {std::filesystem::path(L"%LOCALAPPDATA%\\Vorteda"),
                std::make_error_code(std::errc::no_such_file_or_directory)};
    const std::filesystem::path folder = base / L"Vorteda";
    return {folder, makeFolder(folder)};
}

#else

ContactsFolder besideProgram()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return {std::filesystem::path(), length < 0 ? lastError() : std::make_error_code(std::errc::filename_too_long)};
    return {std::filesystem::path(std::string(buffer, static_cast<std::size_t>(length))).parent_path(), {}};
}

ContactsFolder inUserData()
{
    if (const char *dataHome = absoluteVariable("XDG_DATA_HOME")) {
        // The user named this folder; what is missing of it is made.
        const std::filesystem::path folder = std::filesystem::path(dataHome) / "vorteda";
        return {folder, makeFolders("/", folder.relative_path())};
    }
    const char *home = absoluteVariable("HOME");
    if (home == nullptr)
        return {"~/.local/share/vorteda", std::make_error_code(std::errc::no_such_file_or_directory)};
    const std::filesystem::path below = ".local/share/vorteda";
    return {std::filesystem::path(home) / below, makeFolders(home, below)};
}

#endif

ContactsFileSystem::ContactsFileSystem(contacts::FileSystem &files, ContactsFolder folder)
    : m_files(files)
    , m_folder(std::move(folder))
{
}

contacts::FileSystem &ContactsFileSystem::ready()
{
    if (m_folder.error)
        throw contacts::FileError(contacts::FileOp::CreateFolder, m_folder.path, m_folder.error);
    return m_files;
}

contacts::FileHandle ContactsFileSystem::open(const std::filesystem::path &path, OpenMode mode)
{
    return ready().open(path, mode);
}

contacts::PathKind ContactsFileSystem::kind(const std::filesystem::path &path)
{
    return ready().kind(path);
}

std::size_t ContactsFileSystem::read(contacts::FileHandle file, std::uint64_t offset, void *buffer, std::size_t size)
{
    return ready().read(file, offset, buffer, size);
}

void ContactsFileSystem::write(contacts::FileHandle file, std::uint64_t offset, const void *data, std::size_t size)
{
    ready().write(file, offset, data, size);
}

void ContactsFileSystem::flush(contacts::FileHandle file)
{
    ready().flush(file);
}

std::uint64_t ContactsFileSystem::length(contacts::FileHandle file)
{
    return ready().length(file);
}

contacts::FileStamp ContactsFileSystem::stamp(contacts::FileHandle file)
{
    return ready().stamp(file);
}

void ContactsFileSystem::close(contacts::FileHandle file)
{
    ready().close(file);
}

void ContactsFileSystem::rename(const std::filesystem::path &from, const std::filesystem::path &to)
{
    ready().rename(from, to);
}

void ContactsFileSystem::remove(const std::filesystem::path &path)
{
    ready().remove(path);
}

contacts::FileHandle ContactsFileSystem::lock(const std::filesystem::path &path)
{
    return ready().lock(path);
}

void ContactsFileSystem::unlock(contacts::FileHandle lock)
{
    ready().unlock(lock);
}

void ContactsFileSystem::syncFolder(const std::filesystem::path &folder)
{
    ready().syncFolder(folder);
}

std::filesystem::path ContactsFileSystem::resolve(const std::filesystem::path &path)
{
    return ready().resolve(path);
}

} // namespace platform
