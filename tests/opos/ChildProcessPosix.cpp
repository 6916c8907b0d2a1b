// The child talks over one socket that is both its standard input and output.
#include "tests/opos/ChildProcess.h"

#include <csignal>

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

struct ChildProcess::Impl
{
    pid_t pid = -1;
    int fd = -1;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) : m(new Impl)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if ((m->pid = ::fork()) == 0) {
        ::dup2(fds[1], STDIN_FILENO);
        ::dup2(fds[1], STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m->fd = fds[0];
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (m->fd >= 0)
        ::close(m->fd);
}

void ChildProcess::Send(const std::string& line)
{
    const std::string text = line + '\n';
    if (::write(m->fd, text.data(), text.size()) != ssize_t(text.size()))
        ::perror("ChildProcess::Send");
}

std::string ChildProcess::ReadLine()
{
    std::string line;
    char c = 0;
    pollfd p{m->fd, POLLIN, 0};
    while (::poll(&p, 1, 5000) == 1 && ::read(m->fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

void ChildProcess::Kill()
{
    if (m->pid > 0)
        ::kill(m->pid, SIGKILL), ::waitpid(m->pid, nullptr, 0);
    m->pid = -1;
}
