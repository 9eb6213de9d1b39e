#pragma once

// The version as the program shows it, made from the numbers of the generated header,
// so that the tests follow the project's version.
#include "version/Version.h"

#include <cstdio>
#include <string>

namespace testversion {

// "1.3": the main window's caption and the About window.
inline std::string majorMinor()
{
    return std::to_string(version::kMajor) + "." + std::to_string(version::kMinor);
}

// "1.3.3": the splash window.
inline std::string full()
{
    return majorMinor() + "." + std::to_string(version::kRevision);
}

// "1.03.0003": as Windows shows the file's version, minor in two digits, revision in four.
inline std::string fileVersion()
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d.%04d", version::kMajor, version::kMinor, version::kRevision);
    return text;
}

} // namespace testversion
