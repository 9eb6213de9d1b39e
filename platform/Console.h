#pragma once

// A console program's standard handles and arguments on Windows, where the system
// keeps text in UTF-16 and the program writes UTF-8.
#ifdef _WIN32

#include <windows.h>

#include <cstddef>
#include <streambuf>
#include <string>

namespace platform {

// What the program writes, UTF-8 throughout, to one of its standard handles. A
// console is given UTF-16 (WriteConsoleW), which it shows whatever its code page;
// a file or a pipe gets the UTF-8 bytes as they are, with no CRLF translation (an
// export to "-" is bytes).
class StandardHandle final : public std::streambuf {
public:
    // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    explicit StandardHandle(DWORD which);
    StandardHandle(const StandardHandle &) = delete;
    StandardHandle &operator=(const StandardHandle &) = delete;
    ~StandardHandle() override;

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    bool drain();
    bool writeConsole(const char *text, std::size_t size);
    bool writeBytes(const char *data, std::size_t size);

    HANDLE m_handle;
    bool m_console = false;
    char m_buffer[1 << 16];
};

// An argument as UTF-8, straight from the UTF-16 the system keeps it in; false for
// one that is not text (half of a surrogate pair), which no file can be named by.
bool argumentUtf8(const wchar_t *wide, std::string &utf8);

} // namespace platform

#endif
