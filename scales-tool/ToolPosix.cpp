#include "scales-tool/ToolPlatform.h"

#include "opos/hid/Hidraw.h"

#include <csignal>
#include <cstdio>

#include <cerrno>

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace opos;

const char kConfigurationFilesText[] = "Configuration: /etc/tarabo/scales.conf, then $XDG_CONFIG_HOME/tarabo/scales.conf.\n";

std::vector<HidScaleEntry> ListHidScales()
{
    std::vector<HidScaleEntry> scales;
    for (const HidrawNode& node : CurrentHidrawSystem().list())
        if (node.scale)
            scales.push_back({node.path, node.name, node.vendor, node.product, ::access(node.path.c_str(), R_OK | W_OK) == 0});
    return scales;
}

// Ctrl-C (and a polite kill) as a descriptor the monitor sleeps on, so it ends cleanly.
int RunMonitorCommand(const std::string& name, MonitorOptions options, TextSink& out, TextSink& err)
{
    sigset_t stop, previous;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
    const int stopFd = signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
    options.statusLine = out.File() == stdout && ::isatty(STDOUT_FILENO);
    const int status = RunMonitor(name, options, stopFd, out, err);
    signalfd_siginfo info;
    while (::read(stopFd, &info, sizeof info) == ssize_t(sizeof info)) // taken: it ended the watch
        ;
    ::close(stopFd);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return status;
}

Woken WaitForDeviceOrStop(WaitHandle device, WaitHandle stop, std::int64_t ms)
{
    pollfd fds[2] = {{int(device), POLLIN, 0}, {int(stop), POLLIN, 0}};
    const int ready = ::poll(fds, 2, int(ms));
    if (ready < 0)
        return errno == EINTR ? Woken::TimeUp : Woken::Failed;
    return fds[1].revents ? Woken::Stop : ready > 0 ? Woken::Device : Woken::TimeUp;
}
