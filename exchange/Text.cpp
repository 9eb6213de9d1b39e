#include "exchange/Text.h"

#include "contacts/Cp1252.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace exchange {

namespace {

char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isBlankChar(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes that a UTF-8 sequence starting with `lead` needs in all; 0 for a byte that
// cannot start one.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

} // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = upperAscii(c);
    return out;
}

bool isBlank(std::string_view text)
{
    for (char c : text) {
        if (!isBlankChar(c))
            return false;
    }
    return true;
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlankChar(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankChar(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    char32_t ch = 0;
    while (pos < text.size()) {
        // Plain ASCII eight bytes at a time: most of a contacts file.
        while (pos + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + pos, 8);
            if (word & 0x8080808080808080u)
                break;
            pos += 8;
        }
        if (pos < text.size() && !contacts::nextUtf8(text, pos, ch))
            return false;
    }
    return true;
}

std::string printable(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0
            && static_cast<unsigned char>(utf8[i + 1]) >= 0x80;
        if (c < 0x20 || c == 0x7F || c1) {
            out += "�";
            i += c1 ? 1 : 0;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void Utf8Check::add(std::string_view piece)
{
    if (!m_valid)
        return;
    // First complete the character the last piece ended in.
    while (!m_carry.empty() && !piece.empty()) {
        m_carry += piece.front();
        piece.remove_prefix(1);
        if (m_carry.size() == sequenceLength(static_cast<unsigned char>(m_carry[0]))) {
            m_valid = isValidUtf8(m_carry);
            m_carry.clear();
            if (!m_valid)
                return;
        }
    }
    if (!m_carry.empty())
        return;
    // Keep an unfinished last character for the next piece.
    std::size_t end = piece.size();
    for (std::size_t back = 1; back <= 3 && back <= piece.size(); ++back) {
        const auto c = static_cast<unsigned char>(piece[piece.size() - back]);
        if ((c & 0xC0) != 0x80) {
            const std::size_t len = sequenceLength(c);
            if (len > back)
                end = piece.size() - back;
            break;
        }
    }
    m_valid = isValidUtf8(piece.substr(0, end));
    m_carry = std::string(piece.substr(end));
}

bool Utf8Check::finish()
{
    return m_valid && m_carry.empty();
}

} // namespace exchange

namespace exchange {

std::string toUtf8(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return contacts::decodeCp1252(bytes);
}

std::string withoutControls(std::string_view text, std::string_view lineBreak)
{
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x20)
        ++i;
    if (i == text.size())
        return std::string(text); // the common case: nothing to do
    std::string out(text.substr(0, i));
    bool pendingBreak = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            pendingBreak = !out.empty();
            continue;
        }
        if (pendingBreak) {
            out.append(lineBreak);
            pendingBreak = false;
        }
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out;
}

bool fromUtf16(std::string_view bytes, std::string &out)
{
    if (bytes.size() < 2)
        return false;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    const bool little = b0 == 0xFF && b1 == 0xFE;
    if (!little && !(b0 == 0xFE && b1 == 0xFF))
        return false;
    const auto unit = [&](std::size_t at) -> char32_t {
        const auto lo = static_cast<unsigned char>(bytes[at + (little ? 0 : 1)]);
        const auto hi = static_cast<unsigned char>(bytes[at + (little ? 1 : 0)]);
        return static_cast<char32_t>(hi << 8 | lo);
    };
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
        char32_t ch = unit(at);
        if (ch >= 0xD800 && ch < 0xDC00 && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (ch >= 0xD800 && ch < 0xE000) {
            ch = 0xFFFD; // half a pair
        }
        contacts::appendUtf8(text, ch);
    }
    if (bytes.size() % 2 != 0)
        text += "�"; // an odd last byte
    out = std::move(text);
    return true;
}

} // namespace exchange
