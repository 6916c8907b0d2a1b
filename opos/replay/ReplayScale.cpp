#include "opos/replay/ReplayScale.h"

#include "opos/replay/HidReplay.h"
#include "opos/ResultCodes.h"
#include "opos/serial/SerialScale.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace opos {

namespace {
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

// What a serial scale said to each request, in order. Bytes before the first request (a scale
// that talks unasked) form an exchange with no request, sent as the line opens.
struct Exchange
{
    std::string request, answer;
};

std::vector<Exchange> exchangesOf(const std::vector<CaptureEvent>& events)
{
    std::vector<Exchange> exchanges;
    for (const CaptureEvent& event : events) {
        const std::string bytes(event.bytes.begin(), event.bytes.end());
        if (event.direction == CaptureDirection::Sent)
            exchanges.push_back({bytes, {}});
        else if (exchanges.empty())
            exchanges.push_back({{}, bytes});
        else
            exchanges.back().answer += bytes;
    }
    return exchanges;
}

// The far end of a pseudo-terminal answers for the scale, without a thread of its own: whenever
// the device is looked at, the requests the scale has written are read and answered at once.
class ReplaySerialScale : public IScaleDevice
{
public:
    ReplaySerialScale(const Capture& capture, const ReplaySettings& settings)
        : m_settings(settings), m_exchanges(exchangesOf(capture.events))
    {
        const CaptureHeader& h = capture.header;
        const serial::Protocol protocol = *serial::ProtocolByName(h.protocol);
        const serial::ProtocolInfo& info = serial::Info(protocol);
        // The scale is described by the device it was recorded on; its line is the terminal's.
        serial::SerialSettings line{h.device.empty() ? "replay" : h.device, protocol, {h.baud ? h.baud : info.baud, info.framing},
                                    h.unit.empty() ? SCAL_WU_KILOGRAM : serial::ParseUnit(h.unit)};
        if (!h.framing.empty())
            line.line.framing = *serial::ParseFraming(h.framing);
        if (!serial::SerialLine::BaudSupported(line.line.baud))
            line.line.baud = info.baud; // a pseudo-terminal keeps any speed the scale had
        m_master.fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_master.fd < 0 || ::grantpt(m_master.fd) != 0 || ::unlockpt(m_master.fd) != 0)
            fail("replay: no pseudo-terminal");
        serial::SerialLine::Opened opened = serial::SerialLine::Open(::ptsname(m_master.fd), line.line);
        if (!opened.line)
            throw DeviceError(OPOS_E_NOHARDWARE, "replay: " + opened.error);
        if (!m_exchanges.empty() && m_exchanges.front().request.empty())
            Write(m_exchanges[m_next++].answer);
        // The scale asks for its identity as it opens, before anything can answer: answered ahead.
        if (!info.infoRequest.empty() && Answer(std::string(info.infoRequest)))
            m_answeredAhead = info.infoRequest;
        m_scale = std::make_unique<serial::SerialScale>(line, std::move(opened.line));
        m_waitFd.fd = waitSet({int(m_scale->Waitable()), m_master.fd});
    }

    std::u16string Description() const override { return replayDescription(m_scale->Description(), m_settings); }
    LONG Capacity() const override { return m_scale->Capacity(); }
    LONG Unit() const override { return m_scale->Unit(); }
    WaitHandle Waitable() const override { return m_waitFd.fd; }
    void Request(std::int64_t nowMs) override
    {
        m_scale->Request(nowMs);
        AnswerRequests();
    }
    ScaleReading ReadingAt(std::int64_t nowMs) override
    {
        AnswerRequests();
        const ScaleReading reading = m_scale->ReadingAt(nowMs);
        AnswerRequests(); // a request it sent again just now
        return reading;
    }
    void ClearInput() override { m_scale->ClearInput(); }
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override
    {
        return m_scale->DirectIO(command, data, string, nowMs);
    }

private:
    void AnswerRequests()
    {
        char buffer[256];
        for (ssize_t n; (n = ::read(m_master.fd, buffer, sizeof buffer)) > 0;)
            m_pending.append(buffer, std::size_t(n));
        if (!m_answeredAhead.empty() && m_pending.starts_with(m_answeredAhead)) {
            m_pending.erase(0, m_answeredAhead.size());
            m_answeredAhead.clear();
        }
        while (!m_pending.empty()) {
            const std::size_t before = m_pending.size();
            for (const Exchange& e : m_exchanges)
                if (!e.request.empty() && m_pending.starts_with(e.request) && Answer(e.request)) {
                    m_pending.erase(0, e.request.size());
                    break;
                }
            if (m_pending.size() == before) {
                // Not a request the capture has an answer to (any more): the scale keeps quiet.
                const bool begun = std::any_of(m_exchanges.begin(), m_exchanges.end(), [&](const Exchange& e) {
                    return e.request.size() > m_pending.size() && e.request.starts_with(m_pending);
                });
                if (!begun)
                    m_pending.clear();
                return;
            }
        }
    }

    // Writes the next recorded answer to this request (from the start again with loop); false
    // when none is left, and then the place in the capture stays where it was.
    bool Answer(const std::string& request)
    {
        const std::size_t n = m_exchanges.size();
        const std::size_t span = m_settings.loop ? n : n - std::min(m_next, n);
        for (std::size_t k = 0; k < span; ++k) {
            const std::size_t i = (m_next + k) % n;
            if (m_exchanges[i].request == request) {
                m_next = i + 1;
                Write(m_exchanges[i].answer);
                return true;
            }
        }
        return false;
    }

    void Write(const std::string& bytes)
    {
        // The terminal's input queue holds far more than a scale's answer; what does not fit is
        // lost, as on a line.
        [[maybe_unused]] const ssize_t written = ::write(m_master.fd, bytes.data(), bytes.size());
    }

    ReplaySettings m_settings;
    std::vector<Exchange> m_exchanges;
    std::size_t m_next = 0;
    std::string m_pending, m_answeredAhead;
    Fd m_master, m_waitFd;
    std::unique_ptr<serial::SerialScale> m_scale;
};
}

std::unique_ptr<IScaleDevice> OpenReplay(const Capture& capture, const ReplaySettings& settings)
{
    if (capture.header.driver == "serial")
        return std::make_unique<ReplaySerialScale>(capture, settings);
    return OpenHidReplay(capture, settings);
}

}
