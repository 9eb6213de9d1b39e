#pragma once

// The program's identity: one place for the version numbers and the fixed names
// that the windows show.
namespace app {

inline constexpr int kMajor = 1;
inline constexpr int kMinor = 3;
inline constexpr int kRevision = 3;

inline constexpr char kProductName[] = "Vorteda";
inline constexpr char kCompanyName[] = "Brimacor";
// The maker's web address, where the windows send the user for help.
inline constexpr char kWebAddress[] = "www.brimacor.example";

} // namespace app
