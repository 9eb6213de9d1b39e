#pragma once

// The command vorteda-contactos: its arguments, its messages and its exit status.
#include "contacts/FileSystem.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace exchange {

inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;   // nothing was written
inline constexpr int kBadUsage = 2;

// The contacts folder the program itself uses.
std::filesystem::path defaultFolder();

// Runs the command with `args` (without the program's name). `out` takes the data
// of an export to "-" and the report; `err` the errors.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, contacts::FileSystem &fs);

} // namespace exchange
