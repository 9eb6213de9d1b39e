#pragma once

// Runs the command-line driver (tests/support/crashdriver.cpp) as a child process, with
// POSIX calls: the tests that use it kill processes and so are Linux-only.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

struct DriverRun {
    bool finished = false;          // ended on its own, not killed or timed out
    int exitCode = -1;
    std::string out;                // "ok" and the result, or "error: ..."
    std::vector<std::string> steps; // the file-system call of each step, in order
};

inline std::string driverPath()
{
    return VORTEDA_CRASHDRIVER;
}

// A started child whose standard output and error are read through pipes.
class ChildProcess {
public:
    // Starts `argv[0]` with `argv`, looked up in PATH when it has no slash.
    explicit ChildProcess(const std::vector<std::string> &argv)
    {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            std::vector<char *> args;
            for (const std::string &arg : argv)
                args.push_back(const_cast<char *>(arg.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess()
    {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            waitForFinished(-1);
        }
        closePipes();
    }

    bool started() const { return m_pid > 0; }

    // Reads the child's output until it ends or `timeoutMs` passes (-1: no limit);
    // true when it ended.
    bool waitForFinished(int timeoutMs)
    {
        if (m_ended)
            return true;
        if (m_pid <= 0)
            return false;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_out >= 0 || m_err >= 0) {
            int wait = -1;
            if (timeoutMs >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    return false;
                wait = int(left.count());
            }
            pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            const int ready = ::poll(fds, 2, wait);
            if (ready < 0 && errno != EINTR)
                break;
            drain(fds[0], m_out, m_stdout);
            drain(fds[1], m_err, m_stderr);
        }
        // The pipes close when the child ends, unless a grandchild kept them: then wait.
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_ended = true;
        m_normalExit = WIFEXITED(status);
        m_exitCode = m_normalExit ? WEXITSTATUS(status) : -1;
        return true;
    }

    bool normalExit() const { return m_normalExit; }
    int exitCode() const { return m_exitCode; }
    const std::string &standardOutput() const { return m_stdout; }
    const std::string &standardError() const { return m_stderr; }

private:
    static void drain(const pollfd &fd, int &handle, std::string &into)
    {
        if (handle < 0 || (fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            return;
        char buffer[4096];
        const ssize_t n = ::read(handle, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, std::size_t(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(handle);
            handle = -1;
        }
    }
    void closePipes()
    {
        for (int *handle : {&m_out, &m_err}) {
            if (*handle >= 0)
                ::close(*handle);
            *handle = -1;
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    bool m_ended = false;
    bool m_normalExit = false;
    int m_exitCode = -1;
    std::string m_stdout;
    std::string m_stderr;
};

// `prefix` lets a caller run the driver through another program, such as one that
// drops privileges.
inline DriverRun runDriver(const std::vector<std::string> &args, int timeoutMs = 60000,
                           const std::vector<std::string> &prefix = {})
{
    std::vector<std::string> argv = prefix;
    argv.push_back(driverPath());
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess process(argv);
    DriverRun run;
    if (!process.waitForFinished(timeoutMs)) {
        run.out = "timed out";
        return run;
    }
    run.finished = process.normalExit();
    run.exitCode = process.exitCode();
    run.out = process.standardOutput();
    const std::string &err = process.standardError();
    for (std::size_t at = 0; at < err.size();) {
        std::size_t end = err.find('\n', at);
        if (end == std::string::npos)
            end = err.size();
        const std::string line = err.substr(at, end - at);
        // "step N OP"
        if (line.rfind("step ", 0) == 0) {
            const std::size_t op = line.find(' ', 5);
            if (op != std::string::npos)
                run.steps.push_back(line.substr(op + 1, line.find(' ', op + 1) - op - 1));
        }
        at = end + 1;
    }
    return run;
}
