// A command-line driver over the contact file core, for tests that need a real
// separate process: one killed part way through a command, two copies of the
// program working on one folder, or a user without root's privileges.
//
//   vorteda_crashdriver FOLDER COMMAND [ARGS...] [OPTIONS]
//
// Commands (what the window's commands do to the file):
//   sort                       the list load; prints the surnames in file order
//   list                       the surnames in file order, without sorting
//   append APELLIDO NOMBRE     adds a contact
//   remove INDEX               deletes record INDEX (0-based) as shown now
//   modify INDEX NOMBRE        gives record INDEX, as shown now, a new given name
//   hammer ID COUNT            adds, sorts, modifies and deletes its own contacts
//                              COUNT times; prints the surnames it owns at the end
//
// Options, counted over the file-system calls of the command alone:
//   --kill-before N / --kill-after N   SIGKILL itself right before / after call N
//   --fail-at N ERRNO                  call N fails with ERRNO (a write lands half)
//   --probe-lock                       after every call, a child process tries the
//                                      folder's lock and the result is printed
//
// Output: "step N OP" on stderr for every call; on stdout "ok" and the command's
// result, or "error: MESSAGE" and exit status 3 when a file operation fails.
#include "contacts/ContactFile.h"
#include "contacts/Persona.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/FaultyFileSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace contacts;
namespace fs = std::filesystem;

namespace {

// Whether another process could take the folder's lock right now.
bool lockIsFreeForAnotherProcess(const fs::path &lockPath)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int handle = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        // No lock file yet: nobody can hold it.
        if (handle < 0)
            ::_exit(0);
        ::_exit(::flock(handle, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Persona contact(const std::string &apellido, const std::string &nombre)
{
    return {apellido, nombre, "Calle Mayor 1", "555", "x@y.es"};
}

std::string surnameOf(const Record &record)
{
    return std::string(trimSpaces(decode(record).Apellido));
}

void printList(const std::vector<std::string> &surnames)
{
    for (const auto &surname : surnames)
        std::cout << surname << '\n';
}

// Finds the record whose surname is `surname` and applies `change` to it as a
// window would: with the record as last read, retried when another copy changed
// the file in between. Returns false when no such record exists.
template <typename Change>
bool changeOwn(ContactFile &file, const std::string &surname, Change change)
{
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const std::vector<std::string> surnames = file.list();
        std::optional<std::int64_t> index;
        for (std::size_t i = 0; i < surnames.size(); ++i) {
            if (surnames[i] == surname)
                index = std::int64_t(i);
        }
        if (!index)
            return false;
        const auto shown = file.read(*index);
        if (shown && surnameOf(*shown) == surname && change(*index, *shown))
            return true;
    }
    std::cerr << "gave up on " << surname << std::endl;
    std::exit(4);
}

// Runs a command again while it fails on another copy's lock: it then changed
// nothing, and a person told so tries again. Copies that hammer one folder can keep
// one of them waiting past the lock's time.
template <typename Command>
auto againWhileHeld(Command command)
{
    for (;;) {
        try {
            return command();
        } catch (const FileError &error) {
            if (error.op() != FileOp::Lock || error.code() != std::errc::timed_out)
                throw;
            std::cerr << "lock held past its time; again" << std::endl;
        }
    }
}

// Two or more of these run at once on one folder. Each adds its own contacts,
// loads the list, renames some and deletes others, and prints what it owns.
void hammer(ContactFile &file, const std::string &id, int count)
{
    std::mt19937 random(std::hash<std::string>()(id));
    const char *names[] = {"Ana", "Luis", "Bea", "Zoe", "ana", "Pedro"};
    std::map<int, std::string> own; // serial -> present surname
    for (int k = 0; k < count; ++k) {
        const std::string surname = id + "-" + std::to_string(k);
        againWhileHeld([&] { file.append(contact(surname, names[random() % 6])); });
        own[k] = surname;
        againWhileHeld([&] { file.sortAndList(); });
        if (k % 3 == 2 && own.count(k - 1)) {
            const std::string renamed = own[k - 1] + "m";
            const bool done = changeOwn(file, own[k - 1], [&](std::int64_t index, const Record &shown) {
                Persona changed = decode(shown);
                changed.Apellido = renamed;
                changed.Nombre = names[random() % 6];
                return againWhileHeld([&] { return file.modify(index, shown, changed); });
            });
            if (!done) {
                std::cerr << "lost " << own[k - 1] << std::endl;
                std::exit(4);
            }
            own[k - 1] = renamed;
        }
        if (k % 5 == 4 && own.count(k - 2)) {
            const bool done = changeOwn(file, own[k - 2], [&](std::int64_t index, const Record &shown) {
                return againWhileHeld([&] { return file.remove(index, shown); });
            });
            if (!done) {
                std::cerr << "lost " << own[k - 2] << std::endl;
                std::exit(4);
            }
            own.erase(k - 2);
        }
    }
    for (const auto &[serial, surname] : own)
        std::cout << "own " << surname << '\n';
}

[[noreturn]] void usage()
{
    std::cerr << "usage: vorteda_crashdriver FOLDER COMMAND [ARGS...] [--kill-before N | --kill-after N]"
                 " [--fail-at N ERRNO] [--probe-lock]\n";
    std::exit(2);
}

std::uint64_t number(const std::string &text)
{
    try {
        return std::stoull(text);
    } catch (...) {
        usage();
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args;
    std::uint64_t killBefore = 0;
    std::uint64_t killAfter = 0;
    bool probeLock = false;
    FaultyFileSystem stepping;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--kill-before" && i + 1 < argc) {
            killBefore = number(argv[++i]);
        } else if (arg == "--kill-after" && i + 1 < argc) {
            killAfter = number(argv[++i]);
        } else if (arg == "--fail-at" && i + 2 < argc) {
            const std::uint64_t n = number(argv[++i]);
            stepping.failAt(n, std::errc(int(number(argv[++i]))));
        } else if (arg == "--probe-lock") {
            probeLock = true;
        } else {
            args.push_back(arg);
        }
    }
    if (args.size() < 2)
        usage();
    const fs::path folder = args[0];
    const std::string command = args[1];
    const fs::path lockPath = folder / kLockFileName;
    stepping.onCall(
        [&](std::uint64_t call, FileOp op) {
            std::cerr << "step " << call << ' ' << contacts::name(op) << std::endl;
            if (call == killBefore)
                ::raise(SIGKILL);
        },
        // However the call ended, a failure included.
        [&](std::uint64_t call, FileOp op) {
            if (call == killAfter)
                ::raise(SIGKILL);
            if (probeLock)
                std::cout << "after " << call << ' ' << contacts::name(op) << ": lock "
                          << (lockIsFreeForAnotherProcess(lockPath) ? "free" : "held") << std::endl;
        });

    // What the window showed for the record is read before the command starts,
    // outside the calls being counted.
    ContactFile plain(platform::systemFileSystem(), folder);
    ContactFile file(stepping, folder);
    try {
        if (command == "sort" && args.size() == 2) {
            const auto surnames = file.sortAndList();
            std::cout << "ok\n";
            printList(surnames);
        } else if (command == "list" && args.size() == 2) {
            const auto surnames = file.list();
            std::cout << "ok\n";
            printList(surnames);
        } else if (command == "append" && args.size() == 4) {
            file.append(contact(args[2], args[3]));
            std::cout << "ok\n";
        } else if ((command == "remove" && args.size() == 3) || (command == "modify" && args.size() == 4)) {
            const auto index = std::int64_t(number(args[2]));
            const auto shown = plain.read(index);
            if (!shown) {
                std::cout << "error: no record " << index << '\n';
                return 3;
            }
            bool done;
            if (command == "remove") {
                done = file.remove(index, *shown);
            } else {
                Persona changed = decode(*shown);
                changed.Nombre = args[3];
                done = file.modify(index, *shown, changed);
            }
            std::cout << (done ? "ok\n" : "changed\n");
        } else if (command == "hammer" && args.size() == 4) {
            hammer(plain, args[2], int(number(args[3])));
            std::cout << "ok\n";
        } else {
            usage();
        }
    } catch (const FileError &error) {
        std::cout << "error: " << error.what() << std::endl;
        return 3;
    }
    std::cerr << "calls " << stepping.calls() << std::endl;
    return 0;
}
