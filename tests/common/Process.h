#pragma once

// Running a program as a shell would, for the command-line tests: arguments, standard output and
// error sent to files, and a limit after which a run that has not ended counts as hung.

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace process {

struct Result
{
    int status = -1;        // exit status, or 128 + signal
    bool hung = false;      // killed at the time limit
    long peakKilobytes = 0; // resident set size at its highest
};

/// Starts `program` with `arguments`: standard input /dev/null, output and error the descriptors
/// given. The child's id, or -1.
inline pid_t start(const std::string &program, const std::vector<std::string> &arguments, int outFd,
                   int errFd, const std::filesystem::path &workingDirectory = {})
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const int inFd = ::open("/dev/null", O_RDONLY);
    if (inFd < 0 || outFd < 0 || errFd < 0)
        ::_exit(125);
    ::dup2(inFd, 0);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0)
        ::_exit(126);
    std::vector<std::string> copies{program};
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

/// Runs `program` with `arguments`; standard output and error go to the given files (created or
/// truncated), standard input is /dev/null.
inline Result run(const std::string &program, const std::vector<std::string> &arguments,
                  const std::filesystem::path &out, const std::filesystem::path &err,
                  const std::filesystem::path &workingDirectory = {},
                  std::chrono::seconds limit = std::chrono::seconds(300))
{
    Result result;
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t pid = start(program, arguments, outFd, errFd, workingDirectory);
    ::close(outFd);
    ::close(errFd);
    if (pid < 0)
        return result; // status -1: nothing ran

    const auto deadline = std::chrono::steady_clock::now() + limit;
    int raw = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &raw, WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return result; // status -1: the child was lost
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::wait4(pid, &raw, 0, &usage) < 0 && errno == EINTR) {
            }
            result.hung = true;
            break;
        }
        ::usleep(2000);
    }
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.peakKilobytes = usage.ru_maxrss;
    return result;
}

} // namespace process
