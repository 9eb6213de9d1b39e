#include "platform/PosixSystem.h"

#include "platform/SysInfo.h"
#include "platform/System.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace platform::posix {

namespace {

bool isExecutableFile(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

[[noreturn]] void throwErrno(int error, const std::string &what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// Reports the child's failure to the waiting parent; only async-signal-safe calls.
void reportAndExit(int fd, int error)
{
    while (::write(fd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

} // namespace

const std::vector<std::string> &sysInfoPrograms()
{
    static const std::vector<std::string> names{"hardinfo", "hardinfo2", "kinfocenter", "gnome-system-monitor",
                                                "mate-system-monitor"};
    return names;
}

std::string findProgram(const std::vector<std::string> &names, const std::string &searchPath)
{
    for (const std::string &name : names) {
        std::string::size_type begin = 0;
        while (begin <= searchPath.size()) {
            std::string::size_type end = searchPath.find(':', begin);
            if (end == std::string::npos)
                end = searchPath.size();
            const std::string folder = searchPath.substr(begin, end - begin);
            // An empty entry would mean the current folder, which says nothing about
            // what is installed.
            if (!folder.empty()) {
                const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
                if (isExecutableFile(candidate))
                    return candidate;
            }
            begin = end + 1;
        }
    }
    return {};
}

void fillRegistry(TableRegistry &registry, const std::string &searchPath)
{
    const std::string program = findProgram(sysInfoPrograms(), searchPath);
    if (!program.empty())
        registry.setString(kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, program);
}

bool PosixLauncher::isOrdinaryFile(const std::string &path)
{
    const std::string::size_type slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.front() == '.')
        return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void PosixLauncher::start(const std::string &commandLine, int)
{
    if (commandLine.empty())
        throwErrno(ENOENT, "no program to start");

    // The grandchild reports a failed exec through this pipe; a successful exec
    // closes it, so the parent reads nothing.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throwErrno(errno, "cannot start " + commandLine);

    // Everything the child needs is ready before fork: after it only async-signal-safe
    // calls are allowed.
    const char *path = commandLine.c_str();
    char *const argv[] = {const_cast<char *>(path), nullptr};

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throwErrno(error, "cannot start " + commandLine);
    }
    if (child == 0) {
        // The middle process ends at once, so the program is handed to init and never
        // left as a zombie of ours.
        ::close(pipeFds[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(path, argv);
            reportAndExit(pipeFds[1], errno);
        }
        if (grandchild < 0)
            reportAndExit(pipeFds[1], errno);
        ::_exit(0);
    }

    ::close(pipeFds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(pipeFds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(pipeFds[0]);
    if (got == static_cast<ssize_t>(sizeof error))
        throwErrno(error, "cannot start " + commandLine);
}

} // namespace platform::posix

namespace platform {

namespace {

// The table stands for the registry; what is installed is looked up when the
// registry is first read, not when the program starts.
class PathRegistry : public Registry {
public:
    RegResult openKey(RegKey root, const std::string &subKey, std::uint32_t options, std::uint32_t desiredAccess,
                      RegKey *result) override
    {
        if (!m_filled) {
            m_filled = true;
            const char *searchPath = std::getenv("PATH");
            posix::fillRegistry(m_table, searchPath != nullptr ? searchPath : "");
        }
        return m_table.openKey(root, subKey, options, desiredAccess, result);
    }
    RegResult queryValue(RegKey key, const std::string &valueName, std::uint32_t *type, unsigned char *data,
                         std::uint32_t *dataSize) override
    {
        return m_table.queryValue(key, valueName, type, data, dataSize);
    }
    RegResult closeKey(RegKey key) override { return m_table.closeKey(key); }

private:
    TableRegistry m_table;
    bool m_filled = false;
};

} // namespace

std::unique_ptr<Registry> makeSystemRegistry()
{
    return std::make_unique<PathRegistry>();
}

std::unique_ptr<Launcher> makeSystemLauncher()
{
    return std::make_unique<posix::PosixLauncher>();
}

} // namespace platform
