#include "bench/ChildRun.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// The caller's environment with the offscreen platform forced.
std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            env.emplace_back(*e);
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    return env;
}

pid_t Spawn(const std::string& path, int stdoutFd, int unusedFd)
{
    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> envp;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string arg0 = path;
    char* argv[] = {arg0.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, stdoutFd);
    posix_spawn_file_actions_addclose(&actions, unusedFd);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reads the child's stdout until "ready\n" or the deadline; false when neither came.
bool AwaitReady(int fd, Clock::time_point deadline)
{
    std::string seen;
    char buf[256];
    while (seen.find("ready\n") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0)
            return false;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        seen.append(buf, std::size_t(n));
    }
    return true;
}

void Drain(int fd)
{
    char buf[256];
    while (read(fd, buf, sizeof buf) > 0) {
    }
}

}

ChildResult RunChild(const std::string& path, int timeoutMs)
{
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0) {
        result.failure = "pipe failed";
        return result;
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(path, fds[1], fds[0]);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        result.failure = "cannot start " + path;
        return result;
    }
    const bool ready = AwaitReady(fds[0], start + std::chrono::milliseconds(timeoutMs));
    result.readyMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!ready)
        kill(pid, SIGKILL);
    Drain(fds[0]);
    close(fds[0]);

    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.peakRssKib = usage.ru_maxrss;
    result.ok = ready && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ready)
        result.failure = path + ": no \"ready\" line";
    else if (!result.ok)
        result.failure = path + ": did not exit cleanly (status " + std::to_string(status) + ")";
    return result;
}

}
