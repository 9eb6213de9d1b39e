// The POSIX system layer against real files: finding a system-information program,
// the ordinary-file test, the detached start, and the user's contacts folder.
#include "platform/ContactsFolder.h"
#include "platform/PosixSystem.h"
#include "platform/SystemFileSystem.h"

#include "contacts/ContactFile.h"
#include "tests/support/CoreTest.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using namespace platform;
using coretest::eachRow;
using coretest::TempFolder;
namespace fs = std::filesystem;

namespace {

// Creates "path:kind" entries below `root`: x executable file, r plain file, d folder.
void makeEntries(const fs::path &root, const std::vector<std::string> &entries)
{
    for (const std::string &entry : entries) {
        const std::size_t colon = entry.find(':');
        const fs::path path = root / entry.substr(0, colon);
        const std::string kind = entry.substr(colon + 1);
        fs::create_directories(kind == "d" ? path : path.parent_path());
        if (kind == "d")
            continue;
        std::ofstream(path, std::ios::binary) << "#!/bin/sh\n";
        REQUIRE(fs::is_regular_file(path));
        ::chmod(path.c_str(), kind == "x" ? 0755 : 0644);
    }
}

// Every entry below `root` with its kind, mode and size.
std::vector<std::string> tree(const fs::path &root)
{
    std::vector<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        std::ostringstream line;
        line << entry.path().string().substr(root.string().size()) << ' ' << std::oct << st.st_mode << ' ' << std::dec
             << st.st_size;
        found.push_back(line.str());
    }
    std::sort(found.begin(), found.end());
    return found;
}

pid_t parentOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The parent's id follows the state, after the parenthesised command name.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

std::string replaced(std::string text, const std::string &token, const std::string &value)
{
    for (std::size_t at; (at = text.find(token)) != std::string::npos;)
        text.replace(at, token.size(), value);
    return text;
}

// Sets or removes an environment variable, and puts back what was there when done.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::optional<std::string> &value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

struct FindRow {
    std::string name;
    std::vector<std::string> entries;
    std::string searchPath;  // folders below the temporary root
    std::string found;
};

struct FileRow {
    std::string name;
    std::string entry;
    bool ordinary;
};

struct StartRow {
    std::string name;
    std::string entry;  // "" for an empty path
};

struct FolderRow {
    std::string name;
    std::vector<std::string> entries;
    std::string xdgDataHome;  // "-": unset; {T} is the temporary root
    std::string home;
    std::string readOnly;     // a folder the (unprivileged) user may not write
    std::string folder;
    int error;                // errno, 0 when the folder is ready
};

} // namespace

TEST_CASE("finds the system-information program")
{
    const std::vector<FindRow> rows = {
        {"preferred program over folder order", {"a/gnome-system-monitor:x", "b/hardinfo:x"}, "a:b", "b/hardinfo"},
        {"first folder for one program", {"a/hardinfo:x", "b/hardinfo:x"}, "a:b", "a/hardinfo"},
        {"file that cannot run passed over", {"a/hardinfo:r", "b/hardinfo2:x"}, "a:b", "b/hardinfo2"},
        {"folder of that name passed over", {"a/hardinfo:d"}, "a", ""},
        {"empty entries and trailing slash", {"a/kinfocenter:x"}, "::a/:", "a/kinfocenter"},
        {"none installed", {"a/top:x"}, "a", ""},
    };
    eachRow(rows, [](const FindRow &row) {
        TempFolder root;
        makeEntries(root.path(), row.entries);
        // Each piece of the search path, empty ones kept, below the temporary root.
        std::string folders;
        for (std::size_t at = 0;;) {
            const std::size_t end = std::min(row.searchPath.find(':', at), row.searchPath.size());
            const std::string folder = row.searchPath.substr(at, end - at);
            folders += folder.empty() ? folder : root.path().string() + '/' + folder;
            if (end == row.searchPath.size())
                break;
            folders += ':';
            at = end + 1;
        }

        const std::string result = posix::findProgram(posix::sysInfoPrograms(), folders);

        CHECK(result == (row.found.empty() ? std::string() : root.path().string() + '/' + row.found));
    });
}

TEST_CASE("tells an ordinary file")
{
    const std::vector<FileRow> rows = {
        {"file", "MSINFO32.EXE:r", true},
        {"folder", "MSINFO32.EXE:d", false},
        {"missing", "", false},
        {"hidden file", ".MSINFO32.EXE:r", false},
    };
    eachRow(rows, [](const FileRow &row) {
        TempFolder root;
        if (!row.entry.empty())
            makeEntries(root.path(), {row.entry});
        const std::string name = row.entry.empty() ? "MSINFO32.EXE" : row.entry.substr(0, row.entry.find(':'));
        CHECK(posix::PosixLauncher().isOrdinaryFile((root / name).string()) == row.ordinary);
    });
}

TEST_CASE("a start that cannot run raises an error")
{
    const std::vector<StartRow> rows = {
        {"empty path", ""},
        {"missing", "nothing:-"},
        {"folder", "info:d"},
        {"file that cannot run", "info:r"},
    };
    eachRow(rows, [](const StartRow &row) {
        TempFolder root;
        const std::size_t colon = row.entry.find(':');
        if (!row.entry.empty() && row.entry.substr(colon + 1) != "-")
            makeEntries(root.path(), {row.entry});
        const std::string path = row.entry.empty() ? std::string() : (root / row.entry.substr(0, colon)).string();
        CHECK_THROWS_AS(posix::PosixLauncher().start(path, kNormalFocus), std::system_error);
    });
}

// The started program runs on its own: start returns while it still runs, and it is
// not left a child of this process.
TEST_CASE("start does not wait")
{
    TempFolder root;
    const fs::path pidFile = root / "pid";
    const fs::path program = root / "info";
    std::ofstream(program, std::ios::binary) << "#!/bin/sh\necho $$ > '" << pidFile.string() << ".tmp'\nmv '"
                                             << pidFile.string() << ".tmp' '" << pidFile.string()
                                             << "'\nexec sleep 30\n";
    ::chmod(program.c_str(), 0755);

    posix::PosixLauncher().start(program.string(), kNormalFocus);

    pid_t pid = 0;
    for (int i = 0; i < 2000 && pid == 0; ++i) {
        std::ifstream written(pidFile);
        if (!(written >> pid))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    REQUIRE(pid > 0);
    const pid_t parent = parentOf(pid);
    // The program sleeps for 30 s: start did not wait for its end.
    const bool running = ::kill(pid, 0) == 0;
    ::kill(pid, SIGTERM);
    CHECK(running);
    CHECK(parent != ::getpid());
}

// The installed build's folder; a folder that cannot be made fails every file call
// of the contacts naming it, and nothing that was there is touched.
TEST_CASE("contacts in the user's data folder")
{
    const std::string made = "{T}/home/.local/share/vorteda";
    const std::vector<FolderRow> rows = {
        {"first start: made, private", {"home:d"}, "-", "{T}/home", "", made, 0},
        {"existing folder and file kept", {"home/.local/share/vorteda/personas.dat:r"}, "-", "{T}/home", "", made, 0},
        {"XDG_DATA_HOME, missing parts made", {"home:d"}, "{T}/datos/mios", "{T}/home", "",
         "{T}/datos/mios/vorteda", 0},
        {"relative XDG_DATA_HOME ignored", {"home:d"}, "datos", "{T}/home", "", made, 0},
        {"vorteda is a file", {"home/.local/share/vorteda:r"}, "-", "{T}/home", "", made, ENOTDIR},
        {"data folder not writable", {"home/.local/share:d"}, "-", "{T}/home", "home/.local/share", made, EACCES},
        {"home folder missing", {}, "-", "{T}/home", "", made, ENOENT},
        {"HOME unset", {}, "", "-", "", "~/.local/share/vorteda", ENOENT},
    };
    eachRow(rows, [](const FolderRow &row) {
        TempFolder temp;
        const std::string root = temp.path().string();
        ::chmod(root.c_str(), 0755); // for the unprivileged user
        makeEntries(temp.path(), row.entries);
        if (!row.readOnly.empty())
            ::chmod((temp / row.readOnly).c_str(), 0555);
        const fs::path before = fs::current_path();
        const auto value = [&](const std::string &text) {
            return text == "-" ? std::nullopt : std::optional<std::string>(replaced(text, "{T}", root));
        };
        std::optional<platform::ContactsFolder> found;
        std::vector<std::string> treeBefore;
        {
            ScopedEnv home("HOME", value(row.home));
            ScopedEnv data("XDG_DATA_HOME", value(row.xdgDataHome));
            fs::current_path(temp.path()); // where a relative XDG_DATA_HOME would land
            treeBefore = tree(temp.path());
            // Root writes through permissions: ask as nobody.
            const bool dropped = !row.readOnly.empty() && ::geteuid() == 0 && ::seteuid(65534) == 0;
            found = platform::inUserData();
            if (dropped)
                REQUIRE(::seteuid(0) == 0);
            fs::current_path(before);
        }
        const platform::ContactsFolder &result = *found;

        CHECK(result.path.string() == replaced(row.folder, "{T}", root));
        CHECK(result.error.value() == row.error);
        const std::vector<std::string> treeAfter = tree(temp.path());
        platform::ContactsFileSystem files(platform::systemFileSystem(), result);
        contacts::ContactFile file(files, result.path);
        if (row.error != 0) {
            CHECK(treeAfter == treeBefore);
            try {
                file.sortAndList();
                FAIL_CHECK("the contacts were reached in a folder that could not be made");
            } catch (const contacts::FileError &failure) {
                CHECK(failure.op() == contacts::FileOp::CreateFolder);
                CHECK(failure.path() == result.path);
                CHECK(failure.code() == result.error);
            }
            CHECK(tree(temp.path()) == treeBefore);
            if (!row.readOnly.empty())
                ::chmod((temp / row.readOnly).c_str(), 0755);
            return;
        }
        // What was there stays as it was; each folder made is private to the user.
        for (const std::string &entry : treeBefore) {
            INFO(entry);
            CHECK(std::find(treeAfter.begin(), treeAfter.end(), entry) != treeAfter.end());
        }
        for (const std::string &entry : treeAfter) {
            if (std::find(treeBefore.begin(), treeBefore.end(), entry) == treeBefore.end()) {
                INFO(entry);
                CHECK(entry.find(" 40700 ") != std::string::npos);
            }
        }
        CHECK(file.sortAndList().empty());
        CHECK(fs::is_regular_file(result.path / "personas.dat"));
    });
}
