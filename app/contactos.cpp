// vorteda-contactos: the address book's contacts in and out as vCard and CSV.
#include "platform/SystemFileSystem.h"
#include "exchange/Command.h"

#include "contacts/FileSystem.h"
#include "platform/ContactsFolder.h"

#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

int main(int argc, char *argv[])
{
#ifdef _WIN32
    // An export to "-" is bytes: CRLF must not become CRCRLF.
    _setmode(_fileno(stdout), _O_BINARY);
    // Its messages are UTF-8, as the accents need.
    SetConsoleOutputCP(CP_UTF8);
#endif
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The folder the program itself uses, made on first use in an installed build.
    const auto programFolder = [] {
        const platform::ContactsFolder folder = platform::contactsFolder();
        if (folder.error)
            throw contacts::FileError(contacts::FileOp::CreateFolder, folder.path, folder.error);
        return folder.path;
    };
    return exchange::run(args, std::cout, std::cerr, platform::systemFileSystem(), programFolder);
}
