#include "opos/serial/SerialScale.h"

#include "opos/TrafficTap.h"
#include "opos/Utf8.h"
#include "opos/WeightReport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#ifndef _WIN32
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace opos::serial {

namespace {
std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Reads from the line until `done` says so or the time is up; false on a hang-up.
template <class Done>
bool receiveUntil(Line& line, FrameReader& reader, int waitMs, Done done)
{
    const std::int64_t deadline = steadyMs() + waitMs;
    for (std::int64_t now = steadyMs(); now < deadline; now = steadyMs()) {
        std::string bytes;
        const SerialLine::Input input = line.Receive(int(deadline - now), bytes);
        if (input == SerialLine::Input::HungUp)
            return false;
        reader.Feed(bytes);
        while (const std::optional<Frame> frame = reader.Next())
            if (done(*frame))
                return true;
    }
    return true;
}

std::unique_ptr<SerialLine> openLine(const SerialSettings& settings)
{
    SerialLine::Opened opened = SerialLine::Open(settings.device, settings.line);
    if (!opened.line)
        throw DeviceError(OPOS_E_NOHARDWARE, opened.error);
    return std::move(opened.line);
}

void tapOpened(const SerialSettings& settings)
{
    if (TrafficTap* tap = CurrentTrafficTap()) {
        CaptureHeader header;
        header.driver = "serial";
        header.device = settings.device;
        header.protocol = Info(settings.protocol).name;
        header.baud = settings.line.baud;
        header.framing = FramingText(settings.line.framing);
        header.unit = WeightReport::UnitSymbol(settings.unit);
        header.unit[0] = char(std::tolower(header.unit[0])); // as the configuration spells it
        tap->Opened(header);
    }
}
}

SerialScale::SerialScale(const SerialSettings& settings) : SerialScale(settings, openLine(settings)) {}

SerialScale::SerialScale(const SerialSettings& settings, std::unique_ptr<Line> port)
    : m_settings(settings), m_line(std::move(port)), m_reader(settings.protocol, settings.checksum), m_unit(settings.unit)
{
    tapOpened(settings);
    if (m_settings.silenceMs <= 0)
        m_settings.silenceMs = Info(settings.protocol).silenceMs;
#ifdef _WIN32
    m_wait = m_line->Waitable();
#else
    m_timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    m_waitFd = epoll_create1(EPOLL_CLOEXEC);
    const int lineFd = int(m_line->Waitable());
    epoll_event line{EPOLLIN, {.fd = lineFd}}, timer{EPOLLIN, {.fd = m_timerFd}};
    if (m_timerFd < 0 || m_waitFd < 0 || epoll_ctl(m_waitFd, EPOLL_CTL_ADD, lineFd, &line) != 0 ||
        epoll_ctl(m_waitFd, EPOLL_CTL_ADD, m_timerFd, &timer) != 0) {
        const std::string why = std::strerror(errno);
        CloseWaitFds();
        throw DeviceError(OPOS_E_NOHARDWARE, settings.device + ": cannot wait on the line: " + why);
    }
    m_wait = m_waitFd;
#endif
    if (!Info(settings.protocol).infoRequest.empty())
        AskIdentity();
}

SerialScale::~SerialScale() { CloseWaitFds(); }

void SerialScale::CloseWaitFds()
{
#ifndef _WIN32
    for (int fd : {m_waitFd, m_timerFd})
        if (fd >= 0)
            ::close(fd);
#endif
    m_waitFd = m_timerFd = -1;
}

// Linux: the timerfd in the wait set wakes the wait. Windows: the wait ends at the timer's time.
std::int64_t SerialScale::NextChangeMs(std::int64_t) const
{
#ifdef _WIN32
    if (m_timerDueMs && m_reading.status != ScaleStatus::Gone)
        return *m_timerDueMs;
#endif
    return kNoChange;
}

// Whether the timer has fired since it was last looked at; it fires once per setting.
bool SerialScale::TimerFired(std::int64_t nowMs)
{
#ifdef _WIN32
    if (!m_timerDueMs || nowMs < *m_timerDueMs)
        return false;
    m_timerDueMs.reset();
    return true;
#else
    (void)nowMs;
    std::uint64_t expirations;
    return ::read(m_timerFd, &expirations, sizeof expirations) == sizeof expirations;
#endif
}

// The model and capacity, where the protocol can say; a scale that does not answer keeps the
// configured values.
void SerialScale::AskIdentity()
{
    if (!m_line->Send(Info(m_settings.protocol).infoRequest))
        return;
    receiveUntil(*m_line, m_reader, kIdentityWaitMs, [this](const Frame& frame) {
        if (frame.kind != FrameKind::Identity)
            return frame.kind == FrameKind::Error || frame.kind == FrameKind::NotUnderstood;
        m_model = frame.text;
        m_capacity = frame.capacity;
        m_unit = frame.unit;
        return true;
    });
    m_reader.Clear();
}

std::u16string SerialScale::Description() const
{
    const ProtocolInfo& info = Info(m_settings.protocol);
    std::string text = std::string(info.title) + " scale" + (m_model.empty() ? "" : " " + m_model) + " on " +
                       m_settings.device + " (" + std::to_string(m_settings.line.baud) + " " +
                       FramingText(m_settings.line.framing) + ")" + (m_frameNote.empty() ? "" : ", " + m_frameNote);
    if (m_silent)
        text += ": silent, no frame for more than " + std::to_string(m_settings.silenceMs) + " ms";
    if (m_reading.status == ScaleStatus::Gone && !m_line->Failure().empty())
        text += ": offline: " + m_line->Failure();
    return Utf16FromUtf8(text);
}

void SerialScale::Request(std::int64_t nowMs)
{
    ClearInput();
    m_errorsInARow = 0;
    if (Info(m_settings.protocol).streaming)
        Listen(nowMs);
    else
        Send(Info(m_settings.protocol).request, nowMs);
}

// A streaming scale is not asked: the read takes the next frame it sends, and the timer wakes
// the read when the line has been silent for too long.
void SerialScale::Listen(std::int64_t nowMs)
{
    m_heardMs = nowMs;
    m_silent = false;
    ArmTimerAt(nowMs, nowMs + m_settings.silenceMs + 1);
}

// The latest reading of a streaming scale, or "gone" while the line is silent: a scale that
// stops sending is switched off or unplugged, and says nothing more until it is back. The timer
// is moved on only when it fires, not with every frame.
ScaleReading SerialScale::Heard(std::int64_t nowMs, bool timerFired)
{
    if (!m_heardMs)
        m_heardMs = nowMs;
    const std::int64_t dueMs = *m_heardMs + m_settings.silenceMs + 1;
    // Bytes that make no frame are not silence: the scale is there, and the protocol, speed or
    // framing is wrong. What came shows, as for an answer not understood, and is looked at again.
    const bool noise = nowMs >= dueMs && !m_noise.empty() && nowMs - m_noiseMs <= m_settings.silenceMs;
    m_silent = nowMs >= dueMs && !noise;
    if (timerFired)
        ArmTimerAt(nowMs, m_silent ? std::nullopt : std::optional(noise ? nowMs + m_settings.silenceMs : dueMs));
    if (noise)
        return {ScaleStatus::NotUnderstood, 0, m_noise};
    return m_silent ? ScaleReading{ScaleStatus::Gone, 0} : m_reading;
}

void SerialScale::ClearInput()
{
    m_line->ClearInput();
    m_reader.Clear();
    m_noise.clear();
    if (m_reading.status != ScaleStatus::Gone)
        m_reading = {};
}

void SerialScale::Send(std::string_view request, std::int64_t nowMs)
{
    if (m_reading.status == ScaleStatus::Gone)
        return;
    if (!m_line->Send(request)) {
        m_reading = {ScaleStatus::Gone, 0};
        return;
    }
    m_sentMs = nowMs;
    m_nextRequestMs = nowMs + kResendMs;
    ArmTimer(nowMs);
}

ScaleReading SerialScale::ReadingAt(std::int64_t nowMs)
{
    if (m_reading.status == ScaleStatus::Gone)
        return m_reading;
    const bool timerFired = TimerFired(nowMs);
    std::string bytes;
    if (!m_line->Drain(bytes)) {
        m_reading = {ScaleStatus::Gone, 0};
        return m_reading;
    }
    m_reader.Feed(bytes);
    bool framed = false;
    while (const std::optional<Frame> frame = m_reader.Next())
        Take(*frame, nowMs), framed = true;
    if (Info(m_settings.protocol).streaming) {
        constexpr std::size_t kNoiseShown = 32;
        if (framed) {
            m_noise.clear();
        } else if (!bytes.empty()) {
            m_noise += bytes;
            m_noise.erase(0, m_noise.size() > kNoiseShown ? m_noise.size() - kNoiseShown : 0);
            m_noiseMs = nowMs;
        }
        return Heard(nowMs, timerFired);
    }
    if (m_nextRequestMs && nowMs >= *m_nextRequestMs)
        Send(Info(m_settings.protocol).request, nowMs);
    return m_reading;
}

// Each answer moves the reading on, and the next request follows shortly: the scale answers
// once per request, and a read still waiting needs a fresh reading.
void SerialScale::Take(const Frame& frame, std::int64_t nowMs)
{
    // Ahead of the error count: a scale that acknowledges every ENQ and then sends bad frames
    // must still fail the read.
    if (frame.kind == FrameKind::Acknowledged) {
        Send(Info(m_settings.protocol).followUp, nowMs);
        return;
    }
    if (frame.unit != 0)
        m_unit = frame.unit;
    const bool error = frame.kind == FrameKind::Error;
    m_errorsInARow = error ? m_errorsInARow + 1 : 0;
    if (frame.kind == FrameKind::Weight || frame.kind == FrameKind::Motion)
        m_frameNote = frame.text; // how the scale makes its frames, where it differs from most
    switch (frame.kind) {
    case FrameKind::Weight: m_reading = {frame.weight > 0 ? ScaleStatus::Stable : ScaleStatus::StableZero, frame.weight}; break;
    case FrameKind::Motion: m_reading = {ScaleStatus::InMotion, frame.weight}; break;
    case FrameKind::OverCapacity: m_reading = {ScaleStatus::OverCapacity, 0}; break;
    case FrameKind::UnderZero: m_reading = {ScaleStatus::UnderZero, 0}; break;
    case FrameKind::NotReady: m_reading = {ScaleStatus::InMotion, 0}; break;
    case FrameKind::Fault: m_reading = {ScaleStatus::Fault, 0}; break;
    case FrameKind::Error:
        if (m_errorsInARow >= kErrorsToFail)
            m_reading = {ScaleStatus::Fault, 0};
        break;
    case FrameKind::NotUnderstood: m_reading = {ScaleStatus::NotUnderstood, 0, frame.raw}; break;
    case FrameKind::Identity:
    case FrameKind::Acknowledged: return;
    }
    if (TrafficTap* tap = CurrentTrafficTap()) {
        if (frame.kind == FrameKind::NotUnderstood)
            tap->NotDecoded("answer not understood");
        else if (error && m_reading.status != ScaleStatus::Fault)
            tap->NotDecoded(frame.text.empty() ? "an error or a frame not understood" : frame.text);
        else
            tap->Decoded(m_reading, m_unit);
    }
    if (Info(m_settings.protocol).streaming) {
        m_heardMs = nowMs;
        return;
    }
    // A result ends the read, so the timer is left alone; Direct IO 4 still asks again in time.
    m_nextRequestMs = std::max(nowMs, m_sentMs + kRepeatMs);
    if (m_reading.status == ScaleStatus::InMotion || m_reading.status == ScaleStatus::StableZero ||
        m_reading.status == ScaleStatus::NotUnderstood)
        ArmTimer(nowMs);
}

void SerialScale::ArmTimer(std::int64_t nowMs) { ArmTimerAt(nowMs, m_nextRequestMs); }

void SerialScale::ArmTimerAt(std::int64_t nowMs, std::optional<std::int64_t> dueMs)
{
    m_timerDueMs = dueMs;
#ifdef _WIN32
    (void)nowMs;
#else
    itimerspec when{};
    if (dueMs) {
        const std::int64_t delay = std::max<std::int64_t>(*dueMs - nowMs, 1);
        when.it_value = {time_t(delay / 1000), long(delay % 1000 * 1000000)};
    }
    timerfd_settime(m_timerFd, 0, &when, nullptr);
#endif
}

LONG SerialScale::DirectIO(LONG command, LONG&, std::optional<std::u16string>&, std::int64_t)
{
    const std::string_view zero = Info(m_settings.protocol).zeroRequest;
    if (command != kCommandZero || zero.empty())
        return OPOS_E_ILLEGAL;
    if (m_reading.status == ScaleStatus::Gone)
        return OPOS_E_OFFLINE;
    if (!m_line->Send(zero)) {
        m_reading = {ScaleStatus::Gone, 0};
        return OPOS_E_OFFLINE;
    }
    return OPOS_SUCCESS;
}


}
