#include "platform/WindowsSystem.h"

#include "platform/System.h"

#include <algorithm>
#include <system_error>

#include <windows.h>

namespace platform::windows {

namespace {

// The predefined roots are 32-bit numbers (0x80000002 for HKEY_LOCAL_MACHINE), and a
// 64-bit HKEY holds them sign-extended, as the system's own headers define them.
// Handles that RegOpenKeyExA gave out pass unchanged.
HKEY toHkey(RegKey key)
{
    if ((key >> 32) == 0 && (key & 0xF0000000u) == 0x80000000u)
        return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(key))));
    return reinterpret_cast<HKEY>(key);
}

[[noreturn]] void throwSystem(DWORD error, const std::string &what)
{
    throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

} // namespace

RegResult WindowsRegistry::openKey(RegKey root, const std::string &subKey, std::uint32_t options,
                                   std::uint32_t desiredAccess, RegKey *result)
{
    HKEY opened = nullptr;
    const LONG rc = ::RegOpenKeyExA(toHkey(root), subKey.c_str(), options, desiredAccess, &opened);
    if (rc == ERROR_SUCCESS && result != nullptr)
        *result = reinterpret_cast<RegKey>(opened);
    return rc;
}

RegResult WindowsRegistry::queryValue(RegKey key, const std::string &valueName, std::uint32_t *type,
                                      unsigned char *data, std::uint32_t *dataSize)
{
    DWORD valueType = REG_NONE;
    DWORD size = dataSize != nullptr ? *dataSize : 0;
    const LONG rc = ::RegQueryValueExA(toHkey(key), valueName.c_str(), nullptr, &valueType, data,
                                       dataSize != nullptr ? &size : nullptr);
    if (type != nullptr)
        *type = valueType;
    if (dataSize != nullptr)
        *dataSize = size;
    return rc;
}

RegResult WindowsRegistry::closeKey(RegKey key)
{
    return ::RegCloseKey(toHkey(key));
}

bool WindowsLauncher::isOrdinaryFile(const std::string &path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

void WindowsLauncher::start(const std::string &commandLine, int windowStyle)
{
    // How CreateProcessA reads an empty command line is not documented; it names
    // nothing to start.
    if (commandLine.empty())
        throwSystem(ERROR_FILE_NOT_FOUND, "no program to start");

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process{};
    // The command line must be writable.
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throwSystem(::GetLastError(), "cannot start " + commandLine);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

std::filesystem::path executablePath(std::size_t firstBufferSize)
{
    // The longest path Windows can hand back is 32,767 characters.
    constexpr std::size_t kLongest = 32768;
    std::wstring buffer(std::clamp<std::size_t>(firstBufferSize, 1, kLongest), L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            throwSystem(::GetLastError(), "cannot find the program's path");
        // A path that fills the buffer was cut short.
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        if (buffer.size() >= kLongest)
            throwSystem(ERROR_INSUFFICIENT_BUFFER, "cannot find the program's path");
        buffer.resize(std::min(buffer.size() * 2, kLongest));
    }
}

std::filesystem::path programFolder()
{
    return executablePath().parent_path();
}

} // namespace platform::windows

namespace platform {

std::unique_ptr<Registry> makeSystemRegistry()
{
    return std::make_unique<windows::WindowsRegistry>();
}

std::unique_ptr<Launcher> makeSystemLauncher()
{
    return std::make_unique<windows::WindowsLauncher>();
}

} // namespace platform
