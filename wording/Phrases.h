#pragma once

// The small pieces every message is made of: a quoted name, a counted noun, a path as
// text. One of each, for the windows and vorteda-contactos alike.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace wording {

// «text»
std::string inQuotes(std::string_view text);
// "1 contacto", "3 contactos".
std::string count(std::uint64_t n, std::string_view one, std::string_view many);
// A path as the UTF-8 the messages are written in (on Windows, not the ANSI code page).
std::string pathText(const std::filesystem::path &path);

} // namespace wording
