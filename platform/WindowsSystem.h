#pragma once

#include "platform/Launcher.h"
#include "platform/Registry.h"

#include <cstddef>
#include <filesystem>
#include <string>

// The system layer on Windows: the real registry of advapi32, CreateProcessA and
// GetFileAttributesA, and the executable's own path.
namespace platform::windows {

// The registry calls passed straight to RegOpenKeyExA, RegQueryValueExA and
// RegCloseKey; the text is in the system's ANSI code page.
class WindowsRegistry : public Registry {
public:
    RegResult openKey(RegKey root, const std::string &subKey, std::uint32_t options,
                      std::uint32_t desiredAccess, RegKey *result) override;
    RegResult queryValue(RegKey key, const std::string &valueName, std::uint32_t *type,
                         unsigned char *data, std::uint32_t *dataSize) override;
    RegResult closeKey(RegKey key) override;
};

class WindowsLauncher : public Launcher {
public:
    // GetFileAttributesA: present, and neither a folder nor hidden nor a system file.
    bool isOrdinaryFile(const std::string &path) override;
    // CreateProcessA with `commandLine` as given (the system splits off the program)
    // and `windowStyle` as the new program's show command. Both handles of the new
    // process are closed at once: it is neither waited for nor watched.
    void start(const std::string &commandLine, int windowStyle) override;
};

// The full path of the running executable. The first try uses a buffer of
// `firstBufferSize` characters and grows it until the path fits; paths longer than
// MAX_PATH exist.
std::filesystem::path executablePath(std::size_t firstBufferSize = 260);

// The folder that holds the running executable, where the contacts are kept.
std::filesystem::path programFolder();

} // namespace platform::windows
