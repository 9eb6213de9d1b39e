// Windows-1252 conversion and the 105-byte record layout.
#include "tests/core/CoreTest.h"
#include "contacts/Cp1252.h"
#include "contacts/Persona.h"

#include <set>

using namespace contacts;
using coretest::eachRow;

namespace {

struct EncodeRow {
    std::string name;
    std::string utf8;
    std::size_t width;
    std::string bytes;
};

struct TrimRow {
    std::string name;
    std::string text;
    std::string trimmed;
};

} // namespace

TEST_CASE("encodes")
{
    const std::vector<EncodeRow> rows = {
        {"o acute", "Le\xC3\xB3n", 4, "Le\xF3n"},
        {"euro", "\xE2\x82\xAC", 1, "\x80"},
        {"curly quote, dash", "\xE2\x80\x99\xE2\x80\x94", 2, "\x92\x97"},
        {"Y diaeresis", "\xC5\xB8", 1, "\x9F"},
        {"undefined byte's control", "\xC2\x81", 1, "\x81"},
        {"U+0080 has no byte", "\xC2\x80", 1, "?"},
        {"Polish l", "\xC5\x82", 1, "?"},
        {"CJK", "\xE4\xB8\xAD", 1, "?"},
        {"emoji", "a\xF0\x9F\x98\x80" "b", 3, "a?b"},
        {"truncated sequence", "\xC3", 2, "? "},
        {"bad continuation", "\xC3(", 2, "?("},
        {"overlong slash", "\xC0\xAF", 2, "??"},
        {"surrogate", "\xED\xA0\x80", 3, "???"},
        {"padded", "Ana", 6, "Ana   "},
        {"cut by characters", "\xC3\xB1\xC3\xB1\xC3\xB1", 2, "\xF1\xF1"},
        {"width zero", "Ana", 0, ""},
    };
    eachRow(rows, [](const EncodeRow &row) { CHECK_EQ(encodeCp1252(row.utf8, row.width), row.bytes); });
}

TEST_CASE("record layout")
{
    const Persona p{"Fern\xC3\xA1ndez de la Vega Mart\xC3\xADn", "Ana", "Calle Le\xC3\xB3n 3", "612345678",
                    "ana@example.es"};
    const Record r = encode(p);
    CHECK_EQ(std::string(r.data(), r.size()), std::string("Fern\xE1ndez de la Vega Mart" "Ana                 "
                                                          "Calle Le\xF3n 3        " "612345678      "
                                                          "ana@example.es           "));
    const Record blank = encode(Persona{});
    CHECK_EQ(std::string(blank.data(), blank.size()), std::string(105, ' '));
}

TEST_CASE("record round trip")
{
    const Persona p{"P\xC3\xA9rez", "Mar\xC3\xAD" "a", "Plaza Mayor", "+34 91", "m@x.es"};
    const Persona back = decode(encode(p));
    // Read back at full width, trailing spaces included; trimming gives the text.
    CHECK_EQ(back.Nombre, std::string("Mar\xC3\xAD" "a") + std::string(15, ' '));
    for (std::size_t f = 0; f < 5; ++f)
        CHECK_EQ(std::string(trimSpaces(field(back, f))), field(p, f));
}

TEST_CASE("trims")
{
    const std::vector<TrimRow> rows = {
        {"both ends", "  a b  ", "a b"},
        {"only spaces", "   ", ""},
        {"tabs stay", "\ta\t ", "\ta\t"},
        {"empty", "", ""},
    };
    eachRow(rows, [](const TrimRow &row) { CHECK_EQ(std::string(trimSpaces(row.text)), row.trimmed); });
}

#ifdef _WIN32
// The system's converter as an independent table (elsewhere Qt's is, in tst_codec).
TEST_CASE("every byte reads as the system's code page 1252 does, and writes back")
{
    const auto systemDecode = [](unsigned char byte) {
        const char in = char(byte);
        wchar_t wide[2];
        const int n = ::MultiByteToWideChar(1252, 0, &in, 1, wide, 2);
        char utf8[8];
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof utf8, nullptr, nullptr);
        return std::string(utf8, std::size_t(size > 0 ? size : 0));
    };
    std::set<char32_t> seen;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, char(b));
        const std::string text = decodeCp1252(byte);
        REQUIRE_EQ(text, systemDecode(static_cast<unsigned char>(b)));
        REQUIRE_EQ(encodeCp1252(text, 1), byte);
        seen.insert(cp1252ToUnicode(static_cast<unsigned char>(b)));
    }
    // No two bytes read as the same character.
    CHECK_EQ(seen.size(), std::size_t(256));
}
#endif
