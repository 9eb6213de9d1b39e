#pragma once

#include "contacts/FileSystem.h"

#include <string>
#include <string_view>

namespace wording {

// What a file operation does, in Spanish, for messages to the user ("escribir en el
// archivo").
const char *describe(contacts::FileOp op);

// The message shown when a command fails on a file, in UTF-8: `failure` says which
// command failed, then come the operation, the file and the system's error; or, when
// another copy held the lock for longer than a command waits, anotherCopyText().
std::string fileErrorMessage(std::string_view failure, const contacts::FileError &error);

// The same in one line, for vorteda-contactos and the import's refusals: "no se pudo
// leer el archivo «…»: <the system's words>", or anotherCopyText().
std::string fileErrorLine(const contacts::FileError &error);

// Whether `error` is a command giving up on the lock that another copy of the
// program held all the while it waited (contacts::kLockWait).
bool heldByAnotherCopy(const contacts::FileError &error);

// What the user is told then, in UTF-8, naming the data file beside the lock: that
// another copy is saving changes to it, nothing was changed, and to try again.
std::string anotherCopyText(const contacts::FileError &error);

} // namespace wording
