#pragma once

#include <windows.h>

#include <filesystem>

namespace forms {
class Program;
}

// A file handed to a second start of Vorteda.exe while a first one runs for the same
// contacts goes to the first one: the second start sends it to the first one's main
// window (or splash) as WM_COPYDATA, and ends when that window takes it.
namespace win32 {

// A second start's end: true when a window of a program running for `dataFile` took
// `file`. A window that does not answer within a few seconds is passed over.
bool handToRunningProgram(const std::filesystem::path &dataFile, const std::filesystem::path &file);

// A window's answer to WM_COPYDATA: 1 when it was a file handed for `dataFile` and
// `program` took it (forms::Program::fileHanded), 0 otherwise.
LRESULT takeHandedFile(forms::Program &program, const std::filesystem::path &dataFile, LPARAM copyData);

} // namespace win32
