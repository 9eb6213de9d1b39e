#pragma once

#include <string>
#include <string_view>

namespace contacts {

// Windows-1252 <-> UTF-8. All 256 bytes decode to a character (the five bytes the
// code page leaves undefined map to the C1 controls of the same value), so any file
// reads and writes back byte for byte.
char32_t cp1252ToUnicode(unsigned char byte);
// The byte for `ch`, or '?' when the code page cannot hold it.
unsigned char unicodeToCp1252(char32_t ch);

std::string decodeCp1252(std::string_view bytes);

// Appends `ch` to `out` in UTF-8.
void appendUtf8(std::string &out, char32_t ch);
// Decodes one UTF-8 character at `pos` and advances. A malformed sequence (stray
// continuation byte, truncated, overlong, surrogate, beyond U+10FFFF) consumes one
// byte and gives false, so that the caller can write one '?' for it.
bool nextUtf8(std::string_view text, std::size_t &pos, char32_t &ch);
// Encodes `utf8` and pads with spaces or cuts to `width` bytes. Malformed UTF-8
// sequences become '?'.
std::string encodeCp1252(std::string_view utf8, std::size_t width);

} // namespace contacts
