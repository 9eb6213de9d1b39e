#pragma once

#include "platform/Launcher.h"
#include "platform/Registry.h"

#include <functional>
#include <string>

namespace platform {

inline constexpr char kMsinfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char kMsinfoPathValue[] = "PATH";
inline constexpr char kMsinfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char kMsinfoLocationValue[] = "MSINFO";
inline constexpr char kMsinfoProgram[] = "\\MSINFO32.EXE";
inline constexpr char kSysInfoUnavailable[] = "System Information Is Unavailable At This Time";

// Size of the buffer a registry value is read into; larger values count as missing.
inline constexpr std::uint32_t kValueBufferSize = 1024;

// Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` into `KeyVal` as
// text. Returns false, with `KeyVal` emptied, when the key or the value cannot be
// read. A REG_SZ value comes back without its terminating zero, a REG_DWORD as "&h"
// and its hexadecimal digits; a value of another type leaves `KeyVal` as it was.
// Throws std::invalid_argument for a value with no data.
bool GetKeyValue(Registry &registry, RegKey KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                 std::string &KeyVal);

// Starts the system-information program that the registry points to, or shows the
// one message that it is unavailable. Never throws.
void StartSysInfo(Registry &registry, Launcher &launcher,
                  const std::function<void(const std::string &text)> &showMessage);

} // namespace platform
