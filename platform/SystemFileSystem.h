#pragma once

#include "contacts/FileSystem.h"

namespace platform {

// The operating system's files: POSIX calls on Linux, the Win32 API on Windows.
contacts::FileSystem &systemFileSystem();

} // namespace platform
