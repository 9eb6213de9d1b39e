#pragma once

#include <string>
#include <system_error>

namespace wording {

// The system's error in Spanish, whatever the machine's locale: the last line of every
// file-error message. Errors a user can meet on a file or folder have the program's
// own text; anything else falls back to the system's text and its number.
std::string systemErrorText(const std::error_code &code);

// The two numberings the file layers report in: C library errno values and Win32
// error codes. Empty when the program has no text of its own for the number.
std::string errnoText(int number);
std::string win32ErrorText(unsigned long number);

} // namespace wording
