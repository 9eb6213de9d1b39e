// Windows-1252 conversion and the 105-byte record layout.
#include "tests/support/CoreTest.h"
#include "contacts/Cp1252.h"
#include "contacts/Persona.h"
#include "platform/SystemFileSystem.h"

#include <cstdint>
#include <fstream>
#ifndef _WIN32
#include <iconv.h>
#endif

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
        {"o acute", "León", 4, "Le\xF3n"},
        {"euro", "€", 1, "\x80"},
        {"curly quote, dash", "’—", 2, "\x92\x97"},
        {"Y diaeresis", "Ÿ", 1, "\x9F"},
        {"undefined byte's control", "\xC2\x81", 1, "\x81"},
        {"U+0080 has no byte", "\xC2\x80", 1, "?"},
        {"Polish l", "ł", 1, "?"},
        {"CJK", "中", 1, "?"},
        {"emoji", "a😀b", 3, "a?b"},
        {"truncated sequence", "\xC3", 2, "? "},
        {"bad continuation", "\xC3(", 2, "?("},
        {"overlong slash", "\xC0\xAF", 2, "??"},
        {"surrogate", "\xED\xA0\x80", 3, "???"},
        {"padded", "Ana", 6, "Ana   "},
        {"cut by characters", "ñññ", 2, "\xF1\xF1"},
        {"width zero", "Ana", 0, ""},
    };
    eachRow(rows, [](const EncodeRow &row) { CHECK_EQ(encodeCp1252(row.utf8, row.width), row.bytes); });
}

TEST_CASE("record layout")
{
    const Persona p{"Fernández de la Vega Martín", "Ana", "Calle León 3", "612345678",
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
    const Persona p{"Pérez", "María", "Plaza Mayor", "+34 91", "m@x.es"};
    const Persona back = decode(encode(p));
    // Read back at full width, trailing spaces included; trimming gives the text.
    CHECK_EQ(back.Nombre, std::string("María") + std::string(15, ' '));
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

namespace {

// The system's own converter as an independent table of Windows-1252: Windows' code
// page 1252, or glibc's iconv. Empty when the system defines no character for the
// byte (glibc leaves 81, 8D, 8F, 90 and 9D undefined).
std::string systemDecode(unsigned char byte)
{
#ifdef _WIN32
    const char in = char(byte);
    wchar_t wide[2];
    const int n = ::MultiByteToWideChar(1252, 0, &in, 1, wide, 2);
    char utf8[8];
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof utf8, nullptr, nullptr);
    return std::string(utf8, std::size_t(size > 0 ? size : 0));
#else
    const iconv_t converter = ::iconv_open("UTF-8", "WINDOWS-1252");
    REQUIRE(converter != iconv_t(-1));
    char in[1] = {char(byte)};
    char out[8];
    char *from = in;
    char *to = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t done = ::iconv(converter, &from, &inLeft, &to, &outLeft);
    ::iconv_close(converter);
    return done == std::size_t(-1) ? std::string() : std::string(out, std::size_t(to - out));
#endif
}

} // namespace

TEST_CASE("every byte reads as the system's code page 1252 does, and writes back")
{
    std::set<char32_t> seen;
    std::set<int> undefined;
    for (int b = 0; b < 256; ++b) {
        CAPTURE(b);
        const std::string byte(1, char(b));
        const std::string text = decodeCp1252(byte);
        const std::string expected = systemDecode(static_cast<unsigned char>(b));
        if (expected.empty()) {
            // A byte the code page leaves undefined reads as the control character of
            // the same number, as Windows reads it.
            undefined.insert(b);
            REQUIRE_EQ(std::uint32_t(cp1252ToUnicode(static_cast<unsigned char>(b))), std::uint32_t(b));
        } else {
            REQUIRE_EQ(text, expected);
        }
        REQUIRE_EQ(encodeCp1252(text, 1), byte);
        seen.insert(cp1252ToUnicode(static_cast<unsigned char>(b)));
    }
    // No two bytes read as the same character.
    CHECK_EQ(seen.size(), std::size_t(256));
    // Only the five holes of the code page lack a system answer.
    CHECK((undefined.empty() || undefined == std::set<int>{0x81, 0x8D, 0x8F, 0x90, 0x9D}));
}

// What a failed file call reports: the call, the file and the system's reason.
TEST_CASE("a file error names what failed")
{
    coretest::TempFolder folder;
    const std::filesystem::path path = folder / "datos.bin";
    std::ofstream(path, std::ios::binary) << "abc";
    FileSystem &system = platform::systemFileSystem();
    const FileHandle file = system.open(path, FileSystem::OpenMode::ReadOnly);
    try {
        system.write(file, 0, "x", 1);
        FAIL_CHECK("wrote through a read-only handle");
    } catch (const FileError &error) {
        CHECK_EQ(error.op(), FileOp::Write);
        CHECK(error.path() == path);
        const std::string message = error.what();
        const std::u8string pathText = path.u8string();
        CHECK(message.find(name(FileOp::Write)) != std::string::npos);
        CHECK(message.find(std::string(pathText.begin(), pathText.end())) != std::string::npos);
        CHECK(message.find(error.code().message()) != std::string::npos);
    }
    system.close(file);
}
