// vorteda-contactos: the address book's contacts in and out as vCard and CSV.
#include "exchange/Command.h"

#include "contacts/FileSystem.h"
#include "platform/ContactsFolder.h"
#include "platform/SystemFileSystem.h"
#include "platform/Utf16.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <cwchar>
#include <streambuf>

#include <windows.h>
#endif

namespace {

// The folder the program itself uses, made on first use in an installed build.
std::filesystem::path programFolder()
{
    const platform::ContactsFolder folder = platform::contactsFolder();
    if (folder.error)
        throw contacts::FileError(contacts::FileOp::CreateFolder, folder.path, folder.error);
    return folder.path;
}

constexpr exchange::ContactsPlace kPlace =
    platform::contactsInUserData() ? exchange::ContactsPlace::UserData : exchange::ContactsPlace::BesideProgram;

#ifdef _WIN32

// What the command writes, UTF-8 throughout, to one of its standard handles. A
// console is given UTF-16 (WriteConsoleW), which it shows whatever its code page;
// a file or a pipe gets the UTF-8 bytes as they are, with no CRLF translation (an
// export to "-" is bytes).
class StandardHandle final : public std::streambuf {
public:
    explicit StandardHandle(DWORD which)
        : m_handle(::GetStdHandle(which))
    {
        DWORD mode = 0;
        m_console = m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(m_handle, &mode);
        setp(m_buffer, m_buffer + sizeof m_buffer);
    }
    StandardHandle(const StandardHandle &) = delete;
    StandardHandle &operator=(const StandardHandle &) = delete;
    ~StandardHandle() override
    {
        // At the end, a cut character goes out as it is (the console shows a U+FFFD).
        drain();
        writeConsole(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    }

protected:
    int_type overflow(int_type ch) override
    {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }

    int sync() override { return drain() ? 0 : -1; }

private:
    // Writes what is buffered. For a console, a character cut by the end of the
    // buffer waits at its start for the rest of its bytes.
    bool drain()
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

    // How many bytes at the end of `text` begin a UTF-8 character they do not finish.
    static std::size_t incompleteTail(const char *text, std::size_t size)
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

    bool writeConsole(const char *text, std::size_t size)
    {
        if (size == 0)
            return true;
        const std::wstring wide = platform::widen(std::string_view(text, size));
        for (std::size_t done = 0; done < wide.size();) {
            DWORD put = 0;
            if (!::WriteConsoleW(m_handle, wide.data() + done, static_cast<DWORD>(wide.size() - done), &put, nullptr)
                || put == 0)
                return false;
            done += put;
        }
        return true;
    }

    bool writeBytes(const char *data, std::size_t size)
    {
        for (std::size_t done = 0; done < size;) {
            DWORD put = 0;
            if (!::WriteFile(m_handle, data + done, static_cast<DWORD>(size - done), &put, nullptr) || put == 0)
                return false;
            done += put;
        }
        return true;
    }

    HANDLE m_handle;
    bool m_console = false;
    char m_buffer[1 << 16];
};

// An argument as UTF-8, straight from the UTF-16 the system keeps it in; false for
// one that is not text (half of a surrogate pair), which no file can be named by here.
bool toUtf8(const wchar_t *wide, std::string &utf8)
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

#endif

} // namespace

#ifdef _WIN32

int wmain(int argc, wchar_t *argv[])
{
    StandardHandle outBuffer(STD_OUTPUT_HANDLE);
    StandardHandle errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    err << std::unitbuf;
    std::vector<std::string> args(static_cast<std::size_t>(argc > 1 ? argc - 1 : 0));
    for (int i = 1; i < argc; ++i) {
        if (!toUtf8(argv[i], args[static_cast<std::size_t>(i - 1)])) {
            err << "vorteda-contactos: el argumento " << i
                << " no es un texto válido (tiene medio carácter UTF-16).\n";
            return exchange::kBadUsage;
        }
    }
    const int status = exchange::run(args, out, err, platform::systemFileSystem(), programFolder, kPlace);
    out.flush();
    return status;
}

#else

int main(int argc, char *argv[])
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return exchange::run(args, std::cout, std::cerr, platform::systemFileSystem(), programFolder, kPlace);
}

#endif
