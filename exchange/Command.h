#pragma once

// The command vorteda-contactos: its arguments, its messages and its exit status.
#include "contacts/FileSystem.h"

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace exchange {

inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;   // nothing was written
inline constexpr int kBadUsage = 2;

// Where the program keeps the contacts without --carpeta, as its help names it.
enum class ContactsPlace { BesideProgram, UserData };

// Runs the command with `args` (without the program's name). `out` takes the data
// of an export to "-" and the report; `err` the errors. `defaultFolder` gives the
// contacts folder the program itself uses, asked only without --carpeta; it raises
// FileError when that folder cannot be made; `place` says which folder that is.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, contacts::FileSystem &fs,
        const std::function<std::filesystem::path()> &defaultFolder,
        ContactsPlace place = ContactsPlace::BesideProgram);

} // namespace exchange
