#include "contacts/Cp1252.h"

#include <array>
#include <cstdint>

namespace contacts {

namespace {

// 0x80-0x9F: where Windows-1252 differs from Latin-1. The five bytes it leaves
// undefined keep the C1 control of the same value, so they survive a round trip.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

void appendUtf8(std::string &out, char32_t ch)
{
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

bool nextUtf8(std::string_view s, std::size_t &pos, char32_t &out)
{
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        out = lead;
        ++pos;
        return true;
    }
    std::size_t len;
    char32_t ch;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        len = 2, ch = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, ch = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, ch = lead & 0x07, min = 0x10000;
    } else {
        ++pos;
        return false;
    }
    if (pos + len > s.size()) {
        ++pos;
        return false;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[pos + k]);
        if ((c & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        ch = (ch << 6) | (c & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += len;
    out = ch;
    return true;
}

char32_t cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
}

unsigned char unicodeToCp1252(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<unsigned char>(ch);
    for (std::size_t k = 0; k < kHigh.size(); ++k) {
        if (kHigh[k] == ch)
            return static_cast<unsigned char>(0x80 + k);
    }
    return '?';
}

std::string decodeCp1252(std::string_view bytes)
{
    // Sized exactly first: a million surnames are decoded at each list load.
    std::size_t size = 0;
    for (char c : bytes) {
        const char32_t ch = cp1252ToUnicode(static_cast<unsigned char>(c));
        size += ch < 0x80 ? 1 : ch < 0x800 ? 2 : 3;
    }
    if (size == bytes.size())
        return std::string(bytes);
    std::string out;
    out.reserve(size);
    for (char c : bytes)
        appendUtf8(out, cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string encodeCp1252(std::string_view utf8, std::size_t width)
{
    std::string out;
    out.reserve(width);
    std::size_t pos = 0;
    while (pos < utf8.size() && out.size() < width) {
        char32_t ch = 0;
        out += static_cast<char>(nextUtf8(utf8, pos, ch) ? unicodeToCp1252(ch) : '?');
    }
    out.resize(width, ' ');
    return out;
}

} // namespace contacts
