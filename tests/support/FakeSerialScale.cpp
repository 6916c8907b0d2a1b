#include "FakeSerialScale.h"

#include <pty.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

FakeSerialScale::FakeSerialScale(char terminator, Script script) : m_terminator(terminator), m_script(std::move(script))
{
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0 || pipe(m_stopPipe) != 0)
        throw std::runtime_error("no pseudo-terminal for the fake scale");
    m_path = name;
    m_thread = std::thread([this] { Run(); });
}

FakeSerialScale::~FakeSerialScale()
{
    HangUp();
    for (int fd : {m_slave, m_stopPipe[0], m_stopPipe[1]})
        close(fd);
}

void FakeSerialScale::HangUp()
{
    if (!m_thread.joinable())
        return;
    [[maybe_unused]] const ssize_t n = write(m_stopPipe[1], "x", 1);
    m_thread.join();
    close(m_master);
    // The kept slave would hold the line up: with it closed, the scale's side sees the hang-up.
    close(m_slave);
    m_slave = -1;
}

void FakeSerialScale::Run()
{
    std::string pending;
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents)
            return;
        char buffer[256];
        const ssize_t n = read(m_master, buffer, sizeof buffer);
        if (n <= 0) { // nobody has the line open: wait until someone does
            poll(&fds[1], 1, 5);
            continue;
        }
        pending.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending.find(m_terminator)) != std::string::npos;) {
            const std::string request = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count();
            const std::vector<std::string> pieces = m_script(request, m_requests++, ms);
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (i > 0)
                    poll(nullptr, 0, 5);
                [[maybe_unused]] const ssize_t written = write(m_master, pieces[i].data(), pieces[i].size());
            }
        }
    }
}
