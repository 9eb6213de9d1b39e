// Windows-1252 conversion and the 105-byte record, checked on Windows against the
// system's own converter for the code page.
#include "tests/windows/Check.h"
#include "contacts/Cp1252.h"
#include "contacts/Persona.h"
#include "tests/windows/WinTestSupport.h"

#include <set>

using namespace contacts;

namespace {

struct EncodeRow {
    std::string name;
    std::string utf8;
    std::size_t width;
    std::string bytes;
};

const std::vector<EncodeRow> kEncodes = {
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

struct TrimRow {
    std::string name;
    std::string text;
    std::string trimmed;
};

const std::vector<TrimRow> kTrims = {
    {"both ends", "  a b  ", "a b"},
    {"only spaces", "   ", ""},
    {"tabs stay", "\ta\t ", "\ta\t"},
    {"empty", "", ""},
};

// The system's reading of one Windows-1252 byte, as UTF-8.
std::string systemDecode(unsigned char byte)
{
    const char in = char(byte);
    wchar_t out[2];
    const int n = ::MultiByteToWideChar(1252, 0, &in, 1, out, 2);
    return wintest::utf8(std::wstring(out, std::size_t(n > 0 ? n : 0)));
}

} // namespace

int main(int argc, char **argv)
{
    check::Suite suite(argc, argv);

    suite.add("every byte reads as the system's code page 1252 does, and writes back", [] {
        std::set<char32_t> seen;
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, char(b));
            const std::string text = decodeCp1252(byte);
            CHECK_EQ(text, systemDecode(static_cast<unsigned char>(b)));
            CHECK_EQ(encodeCp1252(text, 1), byte);
            seen.insert(cp1252ToUnicode(static_cast<unsigned char>(b)));
        }
        // No two bytes read as the same character.
        CHECK_EQ(seen.size(), std::size_t(256));
    });

    suite.table("encodes", kEncodes, [](const EncodeRow &row) {
        CHECK_EQ(encodeCp1252(row.utf8, row.width), row.bytes);
    });

    suite.add("record layout", [] {
        const Persona p{"Fern\xC3\xA1ndez de la Vega Mart\xC3\xADn", "Ana", "Calle Le\xC3\xB3n 3", "612345678",
                        "ana@example.es"};
        const Record r = encode(p);
        CHECK_EQ(std::string(r.data(), r.size()), std::string("Fern\xE1ndez de la Vega Mart" "Ana                 "
                                                              "Calle Le\xF3n 3        " "612345678      "
                                                              "ana@example.es           "));
        const Record blank = encode(Persona{});
        CHECK_EQ(std::string(blank.data(), blank.size()), std::string(105, ' '));
    });

    suite.add("record round trip", [] {
        const Persona p{"P\xC3\xA9rez", "Mar\xC3\xAD" "a", "Plaza Mayor", "+34 91", "m@x.es"};
        const Persona back = decode(encode(p));
        // Read back at full width, trailing spaces included; trimming gives the text.
        CHECK_EQ(back.Nombre, std::string("Mar\xC3\xAD" "a") + std::string(15, ' '));
        for (std::size_t f = 0; f < 5; ++f)
            CHECK_EQ(std::string(trimSpaces(field(back, f))), field(p, f));
    });

    suite.table("trims", kTrims, [](const TrimRow &row) {
        CHECK_EQ(std::string(trimSpaces(row.text)), row.trimmed);
    });

    return suite.finish();
}
