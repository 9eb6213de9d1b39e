#include "platform/Console.h"

#include "platform/Utf16.h"

#include <cwchar>
#include <string_view>

namespace platform {

namespace {

// How many bytes at the end of `text` begin a UTF-8 character they do not finish.
std::size_t incompleteTail(const char *text, std::size_t size)
{
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

StandardHandle::StandardHandle(DWORD which)
    : m_handle(::GetStdHandle(which))
{
    DWORD mode = 0;
    m_console = m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(m_handle, &mode);
    setp(m_buffer, m_buffer + sizeof m_buffer);
}

StandardHandle::~StandardHandle()
{
    // At the end, a cut character goes out as it is (the console shows a U+FFFD).
    drain();
    writeConsole(pbase(), static_cast<std::size_t>(pptr() - pbase()));
}

StandardHandle::int_type StandardHandle::overflow(int_type ch)
{
    if (!drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

int StandardHandle::sync()
{
    return drain() ? 0 : -1;
}

// Writes what is buffered. For a console, a character cut by the end of the buffer
// waits at its start for the rest of its bytes.
bool StandardHandle::drain()
{
    const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    std::size_t whole = size;
    if (m_console)
        whole -= incompleteTail(pbase(), size);
    const bool written = m_console ? writeConsole(pbase(), whole) : writeBytes(pbase(), whole);
    std::char_traits<char>::move(m_buffer, pbase() + whole, size - whole);
    setp(m_buffer, m_buffer + sizeof m_buffer);
    pbump(static_cast<int>(size - whole));
    return written;
}

bool StandardHandle::writeConsole(const char *text, std::size_t size)
{
    if (size == 0)
        return true;
    const std::wstring wide = widen(std::string_view(text, size));
    for (std::size_t done = 0; done < wide.size();) {
        DWORD put = 0;
        if (!::WriteConsoleW(m_handle, wide.data() + done, static_cast<DWORD>(wide.size() - done), &put, nullptr)
            || put == 0)
            return false;
        done += put;
    }
    return true;
}

bool StandardHandle::writeBytes(const char *data, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        DWORD put = 0;
        if (!::WriteFile(m_handle, data + done, static_cast<DWORD>(size - done), &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

bool argumentUtf8(const wchar_t *wide, std::string &utf8)
{
    const int length = static_cast<int>(std::wcslen(wide));
    if (length == 0) {
        utf8.clear();
        return true;
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    utf8.assign(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, length, utf8.data(), size, nullptr, nullptr);
    return true;
}

} // namespace platform
