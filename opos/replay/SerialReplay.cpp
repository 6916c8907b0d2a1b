#include "opos/replay/SerialReplay.h"

#include "opos/ResultCodes.h"
#include "opos/serial/SerialScale.h"
#include "opos/TrafficTap.h"
#include "opos/Utf8.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace opos {

namespace {

// What a serial scale said to each request, in order. Bytes before the first request (a scale
// that talks unasked) form an exchange with no request, there as the line opens.
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

// Signalled while answers wait to be read: an eventfd, or a manual-reset event on Windows.
class ReadySignal
{
public:
    ReadySignal()
    {
#ifdef _WIN32
        m_handle = reinterpret_cast<WaitHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (m_handle == 0)
            throw DeviceError(OPOS_E_NOHARDWARE, "replay: no event to wait on (error " + std::to_string(GetLastError()) + ")");
#else
        m_handle = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_handle < 0)
            throw DeviceError(OPOS_E_NOHARDWARE, std::string("replay: no descriptor to wait on: ") + std::strerror(errno));
#endif
    }
    ~ReadySignal()
    {
#ifdef _WIN32
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
#else
        ::close(int(m_handle));
#endif
    }
    ReadySignal(const ReadySignal&) = delete;
    ReadySignal& operator=(const ReadySignal&) = delete;

    WaitHandle Handle() const { return m_handle; }
    void Set(bool ready)
    {
        if (ready == m_ready)
            return;
        m_ready = ready;
#ifdef _WIN32
        ready ? SetEvent(reinterpret_cast<HANDLE>(m_handle)) : ResetEvent(reinterpret_cast<HANDLE>(m_handle));
#else
        std::uint64_t count = 1;
        [[maybe_unused]] const ssize_t done = ready ? ::write(int(m_handle), &count, sizeof count) : ::read(int(m_handle), &count, sizeof count);
#endif
    }

private:
    WaitHandle m_handle = kNoWait;
    bool m_ready = false;
};

// The scale's side of the line: each request written brings the next recorded answer to it
// (from the start again with loop); a request the capture has no answer to is met with silence.
class ReplayLine : public serial::Line
{
public:
    ReplayLine(std::vector<Exchange> exchanges, bool loop) : m_exchanges(std::move(exchanges)), m_loop(loop)
    {
        if (!m_exchanges.empty() && m_exchanges.front().request.empty())
            Give(m_exchanges[m_next++].answer);
    }

    WaitHandle Waitable() const override { return m_ready.Handle(); }

    bool Send(std::string_view bytes) override
    {
        tap(CaptureDirection::Sent, bytes);
        m_pending += bytes;
        AnswerPending();
        return true;
    }

    // Nothing comes to a replay but what a request brought, so with none waiting it sits out the
    // time as a silent line would (at once when there is no limit: nothing will come).
    Input Receive(int timeoutMs, std::string& into) override
    {
        if (m_input.empty()) {
            if (timeoutMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            return Input::Silence;
        }
        Drain(into);
        return Input::Data;
    }

    bool Drain(std::string& into) override
    {
        tap(CaptureDirection::Received, m_input);
        into += m_input;
        ClearInput();
        return true;
    }

    void ClearInput() override
    {
        m_input.clear();
        m_ready.Set(false);
    }

private:
    static void tap(CaptureDirection direction, std::string_view bytes)
    {
        if (TrafficTap* tap = CurrentTrafficTap(); tap && !bytes.empty())
            tap->Bytes(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

    // Answers the whole requests written so far; keeps the start of one written in pieces.
    void AnswerPending()
    {
        while (!m_pending.empty()) {
            const auto whole = std::find_if(m_exchanges.begin(), m_exchanges.end(), [&](const Exchange& e) {
                return !e.request.empty() && m_pending.starts_with(e.request) && Answer(e.request);
            });
            if (whole != m_exchanges.end()) {
                m_pending.erase(0, whole->request.size());
                continue;
            }
            const bool begun = std::any_of(m_exchanges.begin(), m_exchanges.end(), [&](const Exchange& e) {
                return e.request.size() > m_pending.size() && e.request.starts_with(m_pending);
            });
            if (!begun)
                m_pending.clear();
            return;
        }
    }

    // Gives the next recorded answer to this request; false when none is left, and then the
    // place in the capture stays where it was.
    bool Answer(const std::string& request)
    {
        const std::size_t n = m_exchanges.size();
        const std::size_t span = m_loop ? n : n - std::min(m_next, n);
        for (std::size_t k = 0; k < span; ++k) {
            const std::size_t i = (m_next + k) % n;
            if (m_exchanges[i].request == request) {
                m_next = i + 1;
                Give(m_exchanges[i].answer);
                return true;
            }
        }
        return false;
    }

    void Give(const std::string& answer)
    {
        m_input += answer;
        m_ready.Set(!m_input.empty());
    }

    std::vector<Exchange> m_exchanges;
    bool m_loop;
    std::size_t m_next = 0;
    std::string m_pending, m_input;
    ReadySignal m_ready;
};

// The SerialScale on the replay line, described by the device it was recorded on and the file.
class ReplaySerialScale : public IScaleDevice
{
public:
    ReplaySerialScale(const Capture& capture, const ReplaySettings& settings) : m_file(Utf16FromUtf8(settings.file))
    {
        const CaptureHeader& h = capture.header;
        const serial::Protocol protocol = *serial::ProtocolByName(h.protocol);
        const serial::ProtocolInfo& info = serial::Info(protocol);
        serial::SerialSettings line{h.device.empty() ? "replay" : h.device, protocol, {h.baud ? h.baud : info.baud, info.framing},
                                    h.unit.empty() ? SCAL_WU_KILOGRAM : serial::ParseUnit(h.unit)};
        if (!h.framing.empty())
            line.line.framing = *serial::ParseFraming(h.framing);
        m_scale = std::make_unique<serial::SerialScale>(line, std::make_unique<ReplayLine>(exchangesOf(capture.events), settings.loop));
    }

    std::u16string Description() const override { return m_scale->Description() + u", replaying " + m_file; }
    LONG Capacity() const override { return m_scale->Capacity(); }
    LONG Unit() const override { return m_scale->Unit(); }
    WaitHandle Waitable() const override { return m_scale->Waitable(); }
    std::int64_t NextChangeMs(std::int64_t nowMs) const override { return m_scale->NextChangeMs(nowMs); }
    void Request(std::int64_t nowMs) override { m_scale->Request(nowMs); }
    ScaleReading ReadingAt(std::int64_t nowMs) override { return m_scale->ReadingAt(nowMs); }
    void ClearInput() override { m_scale->ClearInput(); }
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override
    {
        return m_scale->DirectIO(command, data, string, nowMs);
    }

private:
    std::u16string m_file;
    std::unique_ptr<serial::SerialScale> m_scale;
};
}

std::unique_ptr<IScaleDevice> OpenSerialReplay(const Capture& capture, const ReplaySettings& settings)
{
    return std::make_unique<ReplaySerialScale>(capture, settings);
}

}
