#include "opos/replay/ReplayScale.h"

#include "opos/ResultCodes.h"
#include "opos/replay/SerialReplay.h"

#ifndef _WIN32
#include "opos/hid/HidScale.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace opos {

#ifndef _WIN32
namespace {
std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void fail(const std::string& why)
{
    throw DeviceError(OPOS_E_NOHARDWARE, why + ": " + std::strerror(errno));
}

// An epoll set of the descriptors, so a wait on it wakes for any of them.
int waitSet(std::initializer_list<int> fds)
{
    const int set = epoll_create1(EPOLL_CLOEXEC);
    for (const int fd : fds) {
        epoll_event event{EPOLLIN, {.fd = fd}};
        if (set < 0 || epoll_ctl(set, EPOLL_CTL_ADD, fd, &event) != 0) {
            if (set >= 0)
                ::close(set);
            fail("replay: cannot wait on the device");
        }
    }
    return set;
}

struct Fd
{
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::u16string replayDescription(std::u16string device, const ReplaySettings& settings)
{
    return device + u", replaying " + Utf16FromUtf8(settings.file);
}

// The reports go into one end of a SEQPACKET pair, one per packet as hidraw gives them, when
// a timer says they are due.
class ReplayHidScale : public IScaleDevice
{
public:
    ReplayHidScale(const Capture& capture, const ReplaySettings& settings) : m_settings(settings)
    {
        for (const CaptureEvent& event : capture.events)
            (event.direction == CaptureDirection::Received ? m_reports : event.direction == CaptureDirection::Asked ? m_asked : m_sent)
                .push_back(event);
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
            fail("replay: no socket pair");
        m_peer.fd = fds[1];
        ::fcntl(m_peer.fd, F_SETFL, O_NONBLOCK);
        m_timer.fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_timer.fd < 0) {
            ::close(fds[0]);
            fail("replay: no timer");
        }
        m_scale = std::make_unique<HidScale>(Connection(capture.header, fds[0]));
        m_waitFd.fd = waitSet({int(m_scale->Waitable()), m_timer.fd});
        m_startMs = steadyMs();
        if (!m_reports.empty())
            m_periodMs = std::max<std::int64_t>(m_reports.back().ms + (m_reports.size() > 1 ? (m_reports.back().ms - m_reports.front().ms) /
                                                                                                  std::int64_t(m_reports.size() - 1)
                                                                                            : 100),
                                                1);
        Play();
    }

    std::u16string Description() const override { return replayDescription(m_scale->Description(), m_settings); }
    LONG Capacity() const override { return m_scale->Capacity(); }
    LONG Unit() const override { return m_scale->Unit(); }
    WaitHandle Waitable() const override { return m_waitFd.fd; }
    void Request(std::int64_t nowMs) override
    {
        Play();
        m_scale->Request(nowMs);
    }
    ScaleReading ReadingAt(std::int64_t nowMs) override
    {
        Play();
        return m_scale->ReadingAt(nowMs);
    }
    void ClearInput() override
    {
        Play();
        m_scale->ClearInput();
    }
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override
    {
        Play();
        return m_scale->DirectIO(command, data, string, nowMs);
    }

private:
    HidConnection Connection(const CaptureHeader& h, int fd)
    {
        HidConnection c{fd, h.device.empty() ? "replay" : h.device, h.name, h.vendor, h.product, h.descriptor, {}, {}, {}};
        const std::vector<CaptureBytes> features = h.features;
        c.feature = [features](std::uint8_t id, std::size_t) {
            const auto it = std::find_if(features.begin(), features.end(), [id](const CaptureBytes& f) { return f[0] == id; });
            return it == features.end() ? CaptureBytes{} : *it;
        };
        c.input = [this](std::uint8_t, std::size_t) {
            if (m_nextAsked == m_asked.size() && m_settings.loop)
                m_nextAsked = 0;
            return m_nextAsked < m_asked.size() ? m_asked[m_nextAsked++].bytes : CaptureBytes{};
        };
        c.setFeature = [](const CaptureBytes&) { return true; };
        return c;
    }

    // Sends every report due by now and sets the timer for the next.
    void Play()
    {
        std::uint64_t expirations;
        [[maybe_unused]] const ssize_t drained = ::read(m_timer.fd, &expirations, sizeof expirations);
        char sink[64];
        while (::recv(m_peer.fd, sink, sizeof sink, MSG_DONTWAIT) > 0) // output reports: taken, as a scale would
            ;
        const double elapsed = double(steadyMs() - m_startMs) * m_settings.speed;
        for (int sent = 0; sent < kMaxReportsPerLook && m_next < m_reports.size(); ++sent) {
            const CaptureEvent& report = m_reports[m_next];
            if (double(report.ms + m_rounds * m_periodMs) > elapsed)
                break;
            if (::send(m_peer.fd, report.bytes.data(), report.bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0)
                return; // the scale has not taken the last ones yet: the timer stays due
            if (++m_next == m_reports.size() && m_settings.loop)
                m_next = 0, ++m_rounds;
        }
        if (m_next == m_reports.size())
            return;
        const double dueMs = double(m_reports[m_next].ms + m_rounds * m_periodMs) / m_settings.speed;
        const std::int64_t delay = std::max<std::int64_t>(std::int64_t(dueMs) + m_startMs - steadyMs(), 1);
        itimerspec when{{0, 0}, {time_t(delay / 1000), long(delay % 1000 * 1000000)}};
        timerfd_settime(m_timer.fd, 0, &when, nullptr);
    }

    static constexpr int kMaxReportsPerLook = 256;

    ReplaySettings m_settings;
    std::vector<CaptureEvent> m_reports, m_asked, m_sent;
    std::size_t m_next = 0, m_nextAsked = 0;
    std::int64_t m_startMs = 0, m_periodMs = 1, m_rounds = 0;
    Fd m_peer, m_timer, m_waitFd;
    std::unique_ptr<HidScale> m_scale;
};
}
#endif

std::unique_ptr<IScaleDevice> OpenReplay(const Capture& capture, const ReplaySettings& settings)
{
    if (capture.header.driver == "serial")
        return OpenSerialReplay(capture, settings);
#ifdef _WIN32
    throw DeviceError(OPOS_E_NOHARDWARE, settings.file + ": this build replays serial captures only");
#else
    return std::make_unique<ReplayHidScale>(capture, settings);
#endif
}

}
