#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// A file handed to a second start of the program while a first one runs for the same
// contacts goes to the first one's main window. What the two starts say to each other
// is written here once, for both toolkits; how they find each other (a local socket,
// a window message) is each toolkit's.
namespace forms {

// The data file a program works on, spelled as every start of it spells it: its
// canonical path, so that two starts through different links or relative paths to
// one personas.dat agree. `folder` holds personas.dat.
std::filesystem::path dataFileOf(const std::filesystem::path &folder);

// A file handed to the program on its command line, as the program keeps it: made
// absolute against the folder it was started in, so that it still names the same
// file for another start of the program, which has a working folder of its own; as
// given when that cannot be done.
std::filesystem::path handedOnCommandLine(const std::filesystem::path &file);

// A short name that stands for `dataFile` (from dataFileOf), for a name the system
// keeps per user: "vorteda-" and sixteen hex digits.
std::string handOverName(const std::filesystem::path &dataFile);

// The message a second start sends: the data file it is for and the file handed to it,
// both as the system spells them (any name survives).
std::string handOverMessage(const std::filesystem::path &dataFile, const std::filesystem::path &file);

// The file a message hands over, when it is a whole message for `dataFile`; nothing
// for another data file, another program's message or a message cut short.
std::optional<std::filesystem::path> handedFile(std::string_view message, const std::filesystem::path &dataFile);

} // namespace forms
