#include "tests/support/FakeSerialScale.h"

#include <fcntl.h>
#include <pty.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

FakeSerialScale::FakeSerialScale(std::string terminators, Script script, int periodMs)
    : m_terminators(std::move(terminators)), m_script(std::move(script)), m_periodMs(periodMs)
{
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0 || pipe(m_stopPipe) != 0)
        throw std::runtime_error("no pseudo-terminal for the fake scale");
    m_path = name;
    if (m_periodMs > 0)
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
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

void FakeSerialScale::Write(const std::vector<std::string>& pieces)
{
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            poll(nullptr, 0, 5);
        [[maybe_unused]] const ssize_t written = write(m_master, pieces[i].data(), pieces[i].size());
    }
    m_lastWrite = std::chrono::steady_clock::now();
}

void FakeSerialScale::Run()
{
    using namespace std::chrono;
    std::string pending;
    steady_clock::time_point nextFrame = steady_clock::now();
    for (;;) {
        int waitMs = -1;
        if (m_periodMs > 0) {
            const auto now = steady_clock::now();
            if (now >= nextFrame) {
                const std::vector<std::string> pieces = m_script("", m_requests++, duration_cast<milliseconds>(now - m_start).count());
                Write(pieces);
                nextFrame += milliseconds(m_periodMs);
                continue;
            }
            waitMs = int(duration_cast<milliseconds>(nextFrame - now).count()) + 1;
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        const int ready = poll(fds, 2, waitMs);
        if (ready < 0 || fds[1].revents)
            return;
        if (ready == 0)
            continue;
        char buffer[256];
        const ssize_t n = read(m_master, buffer, sizeof buffer);
        if (n <= 0) { // nobody has the line open: wait until someone does
            poll(&fds[1], 1, 5);
            continue;
        }
        if (m_periodMs > 0) // a streaming scale takes no requests
            continue;
        pending.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending.find_first_of(m_terminators)) != std::string::npos;) {
            const std::string request = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            const auto ms = duration_cast<milliseconds>(steady_clock::now() - m_start).count();
            Write(m_script(request, m_requests++, ms));
        }
    }
}
