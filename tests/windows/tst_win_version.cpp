// The version resource that CMake generates for the program, compiled into this test,
// read back through the system's version calls and checked against the numbers of the
// generated header.
#include "tests/windows/Check.h"
#include "version/Version.h"
#include "tests/windows/WinTestSupport.h"
#include "platform/WindowsSystem.h"

#include <cstdio>
#include <vector>

namespace {

// "1.03.0003": minor in two digits, revision in four.
std::string versionText()
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d.%04d", version::kMajor, version::kMinor, version::kRevision);
    return text;
}

struct StringRow {
    std::string name;
    std::string expected;
};

const std::vector<StringRow> kStrings = {
    {"FileVersion", versionText()},
    {"ProductVersion", versionText()},
    {"ProductName", version::kProductName},
    {"CompanyName", version::kCompanyName},
};

} // namespace

int main(int argc, char **argv)
{
    check::Suite suite(argc, argv);

    const std::wstring self = platform::windows::executablePath().wstring();
    DWORD ignored = 0;
    std::vector<char> info(::GetFileVersionInfoSizeW(self.c_str(), &ignored));
    const bool read = !info.empty() && ::GetFileVersionInfoW(self.c_str(), 0, DWORD(info.size()), info.data());

    suite.add("the version text pads minor and revision", [] {
        CHECK_EQ(versionText(), std::string(version::kVersionText));
    });

    suite.add("file and product version numbers", [&] {
        CHECK(read);
        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT size = 0;
        CHECK(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &size));
        CHECK(size >= sizeof(VS_FIXEDFILEINFO));
        CHECK_EQ(fixed->dwSignature, DWORD(0xFEEF04BD));
        const DWORD high = MAKELONG(version::kMinor, version::kMajor);
        const DWORD low = MAKELONG(version::kRevision, 0);
        CHECK_EQ(fixed->dwFileVersionMS, high);
        CHECK_EQ(fixed->dwFileVersionLS, low);
        CHECK_EQ(fixed->dwProductVersionMS, high);
        CHECK_EQ(fixed->dwProductVersionLS, low);
        CHECK_EQ(fixed->dwFileType, DWORD(VFT_APP));
    });

    suite.table("version texts", kStrings, [&](const StringRow &row) {
        CHECK(read);
        // The first translation names the block the texts are in.
        struct Translation {
            WORD language;
            WORD codePage;
        } *translation = nullptr;
        UINT size = 0;
        CHECK(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                               &size));
        CHECK(size >= sizeof(Translation));
        CHECK_EQ(translation->language, WORD(0x0C0A));
        CHECK_EQ(translation->codePage, WORD(1252));
        char block[16];
        std::snprintf(block, sizeof block, "%04X%04X", unsigned(translation->language),
                      unsigned(translation->codePage));
        const std::string key = std::string("\\StringFileInfo\\") + block + "\\" + row.name;
        wchar_t *value = nullptr;
        CHECK(::VerQueryValueW(info.data(), std::wstring(key.begin(), key.end()).c_str(),
                               reinterpret_cast<void **>(&value), &size));
        // The size counts the terminating zero.
        CHECK(size > 0);
        CHECK_EQ(wintest::utf8(std::wstring(value, size - 1)), row.expected);
    });

    return suite.finish();
}
