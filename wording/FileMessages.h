#pragma once

#include "contacts/FileSystem.h"

#include <string>
#include <string_view>

namespace wording {

// What a file operation does, in Spanish, for messages to the user ("escribir en el
// archivo").
const char *describe(contacts::FileOp op);

// The message shown when a command fails on a file, in UTF-8: `failure` says which
// command failed, then come the operation, the file and the system's error.
std::string fileErrorMessage(std::string_view failure, const contacts::FileError &error);

} // namespace wording
