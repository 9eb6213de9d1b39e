#pragma once

// Small text helpers the formats share.
#include <cstddef>
#include <string>
#include <string_view>

namespace exchange {

// ASCII case only: the names and keywords of the formats are ASCII.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoreCase(std::string_view text, std::string_view suffix);
std::string upper(std::string_view text);
// Only spaces, tabs and line ends.
bool isBlank(std::string_view text);
std::string_view trimBlanks(std::string_view text);

bool isValidUtf8(std::string_view text);

// Valid UTF-8 as it is; anything else read as Windows-1252. Decided for each card and
// row: files joined from several sources mix the two.
std::string toUtf8(std::string_view bytes);

// A value as it may be stored: each run of line breaks becomes `lineBreak` (none at
// either end), every other control character (C0) one space.
std::string withoutControls(std::string_view text, std::string_view lineBreak);

// A text that begins with a UTF-16 byte-order mark, as UTF-8 (a spreadsheet's
// "Unicode text"); false, `out` untouched, for any other.
bool fromUtf16(std::string_view bytes, std::string &out);

// `utf8` fit to print on a terminal: control characters (C0, DEL, C1), which could
// move the cursor or fake lines of the report, each become U+FFFD.
std::string printable(std::string_view utf8);

// Checks UTF-8 handed over in pieces of any size: a character may be split between
// two pieces.
class Utf8Check {
public:
    void add(std::string_view piece);
    // Whether everything added was UTF-8, the end included.
    bool finish();

private:
    std::string m_carry;
    bool m_valid = true;
};

} // namespace exchange
