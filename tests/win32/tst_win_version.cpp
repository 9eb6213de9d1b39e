// The version resource that CMake generates for the program, compiled into this test,
// read back through the system's version calls and checked against the numbers of the
// generated header.
#include "tests/support/CoreTest.h"
#include "version/Version.h"
#include "tests/support/VersionTexts.h"
#include "tests/win32/WinTestSupport.h"
#include "platform/WindowsSystem.h"

#include <cstdio>
#include <vector>

namespace {

using testversion::fileVersion;

struct StringRow {
    std::string name;
    std::string expected;
};

const std::vector<StringRow> kStrings = {
    {"FileVersion", fileVersion()},
    {"ProductVersion", fileVersion()},
    {"ProductName", version::kProductName},
    {"CompanyName", version::kCompanyName},
};

// This program's own version resource.
std::vector<char> versionInfo()
{
    const std::wstring self = platform::windows::executablePath().wstring();
    DWORD ignored = 0;
    std::vector<char> info(::GetFileVersionInfoSizeW(self.c_str(), &ignored));
    if (info.empty() || !::GetFileVersionInfoW(self.c_str(), 0, DWORD(info.size()), info.data()))
        info.clear();
    return info;
}

} // namespace

TEST_CASE("the version text pads minor and revision")
{
    CHECK_EQ(fileVersion(), std::string(version::kVersionText));
}

TEST_CASE("file and product version numbers")
{
    std::vector<char> info = versionInfo();
    REQUIRE(!info.empty());
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT size = 0;
    REQUIRE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &size));
    REQUIRE(size >= sizeof(VS_FIXEDFILEINFO));
    REQUIRE_EQ(fixed->dwSignature, DWORD(0xFEEF04BD));
    const DWORD high = MAKELONG(version::kMinor, version::kMajor);
    const DWORD low = MAKELONG(version::kRevision, 0);
    REQUIRE_EQ(fixed->dwFileVersionMS, high);
    REQUIRE_EQ(fixed->dwFileVersionLS, low);
    REQUIRE_EQ(fixed->dwProductVersionMS, high);
    REQUIRE_EQ(fixed->dwProductVersionLS, low);
    REQUIRE_EQ(fixed->dwFileType, DWORD(VFT_APP));
}

TEST_CASE("version texts")
{
    std::vector<char> info = versionInfo();
    const bool read = !info.empty();
    coretest::eachRow(kStrings, [&](const StringRow &row) {
        REQUIRE(read);
        // The first translation names the block the texts are in.
        struct Translation {
            WORD language;
            WORD codePage;
        } *translation = nullptr;
        UINT size = 0;
        REQUIRE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                               &size));
        REQUIRE(size >= sizeof(Translation));
        REQUIRE_EQ(translation->language, WORD(0x0C0A));
        REQUIRE_EQ(translation->codePage, WORD(1252));
        char block[16];
        std::snprintf(block, sizeof block, "%04X%04X", unsigned(translation->language),
                      unsigned(translation->codePage));
        const std::string key = std::string("\\StringFileInfo\\") + block + "\\" + row.name;
        wchar_t *value = nullptr;
        REQUIRE(::VerQueryValueW(info.data(), std::wstring(key.begin(), key.end()).c_str(),
                               reinterpret_cast<void **>(&value), &size));
        // The size counts the terminating zero.
        REQUIRE(size > 0);
        REQUIRE_EQ(wintest::utf8(std::wstring(value, size - 1)), row.expected);
    });
}
