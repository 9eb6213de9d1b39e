// vorteda-contactos: the address book's contacts in and out as vCard and CSV.
#include "exchange/Command.h"

#include "contacts/FileSystem.h"
#include "platform/Console.h"
#include "platform/ContactsFolder.h"
#include "platform/SystemFileSystem.h"
#include "wording/CommandWords.h"

#include <iostream>
#include <string>
#include <vector>

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

} // namespace

#ifdef _WIN32

int wmain(int argc, wchar_t *argv[])
{
    platform::StandardHandle outBuffer(STD_OUTPUT_HANDLE);
    platform::StandardHandle errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    err << std::unitbuf;
    std::vector<std::string> args(static_cast<std::size_t>(argc > 1 ? argc - 1 : 0));
    for (int i = 1; i < argc; ++i) {
        if (!platform::argumentUtf8(argv[i], args[static_cast<std::size_t>(i - 1)])) {
            err << "vorteda-contactos: " << wording::argumentNotText(i) << "\n";
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
