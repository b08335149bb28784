#include "tools/pack/run_tool.h"

#include "tools/pack/pack_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Closes the descriptor when it goes out of scope.
class CFd {
public:
    explicit CFd(int fd = -1) : m_fd(fd) {}
    ~CFd() { Reset(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};
}  // namespace

ToolResult RunTool(const std::vector<std::string>& argv)
{
    if (argv.empty())
        throw CPackFailure("no program to run");
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw CPackFailure(argv[0] + ": cannot be started" + SystemReason());
    CFd readEnd(fds[0]), writeEnd(fds[1]);
    // A pipe that tells the parent whether exec worked: closed by exec, or
    // carrying the child's errno.
    int execFds[2];
    if (pipe2(execFds, O_CLOEXEC) != 0)
        throw CPackFailure(argv[0] + ": cannot be started" + SystemReason());
    CFd execRead(execFds[0]), execWrite(execFds[1]);

    const pid_t pid = fork();
    if (pid < 0)
        throw CPackFailure(argv[0] + ": cannot be started" + SystemReason());
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            dup2(devNull, 0);
        dup2(writeEnd.Get(), 1);
        dup2(writeEnd.Get(), 2);
        execvp(args[0], args.data());
        const int error = errno;
        [[maybe_unused]] ssize_t ignored = write(execWrite.Get(), &error, sizeof error);
        _exit(127);
    }
    writeEnd.Reset();
    execWrite.Reset();

    ToolResult result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(readEnd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.output.append(buffer, static_cast<size_t>(n));
        if (result.output.size() > kToolOutputLimit)
            result.output.erase(0, result.output.size() - kToolOutputLimit);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    if (read(execRead.Get(), &execError, sizeof execError) == static_cast<ssize_t>(sizeof execError)) {
        errno = execError;
        throw CPackFailure(argv[0] + ": cannot be started" + SystemReason() +
                           (execError == ENOENT ? "; on Debian: apt-get install " + argv[0] : std::string()));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
