// A counter scale on a serial line (RS-232 or a USB-serial adapter) speaking one of the serial
// protocols. Most answer only when asked, once per request, so the scale keeps asking while a
// read waits: on Linux its descriptor is an epoll set of the line and a timer for the next
// request; on Windows it waits on the line's read event and names the timer's time through
// NextChangeMs. A streaming scale is never asked: the timer then marks how long the line may
// stay silent.
#pragma once

#include "opos/ResultCodes.h"
#include "opos/ScaleDevice.h"
#include "opos/serial/SerialLine.h"
#include "opos/serial/SerialProbe.h" // ProbeProtocol, which lived here, for its callers
#include "opos/serial/SerialProtocol.h"

#include <optional>

namespace opos::serial {

struct SerialSettings
{
    std::string device;
    Protocol protocol = Protocol::Toledo;
    LineSettings line; // the protocol's usual settings unless configured
    LONG unit = SCAL_WU_KILOGRAM; // where the protocol does not say
    int silenceMs = 0;            // streaming: silence that makes a read say so; 0 for the protocol's
    Checksum checksum = Checksum::Complement; // toledo-continuous-checksum: how the check character is made
};

class SerialScale : public IScaleDevice
{
public:
    static constexpr std::int64_t kRepeatMs = 100; // between a reply and the next request
    static constexpr std::int64_t kResendMs = 500; // a request left unanswered is sent again
    static constexpr int kErrorsToFail = 3;        // errors in a row that fail a read
    static constexpr int kIdentityWaitMs = 500;
    static constexpr LONG kCommandZero = 5;        // Direct IO: zero the scale, where the protocol can

    // Raises DeviceError(OPOS_E_NOHARDWARE) when the line cannot be opened.
    explicit SerialScale(const SerialSettings& settings);
    // On a line already open (a replay's line); settings.device only names the scale.
    SerialScale(const SerialSettings& settings, std::unique_ptr<Line> line);
    ~SerialScale() override;

    std::u16string Description() const override;
    LONG Capacity() const override { return m_capacity; }
    LONG Unit() const override { return m_unit; }
    WaitHandle Waitable() const override { return m_wait; }
    std::int64_t NextChangeMs(std::int64_t nowMs) const override;
    void Request(std::int64_t nowMs) override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    void ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

private:
    void Send(std::string_view request, std::int64_t nowMs);
    void Listen(std::int64_t nowMs);
    ScaleReading Heard(std::int64_t nowMs, bool timerFired);
    void Take(const Frame& frame, std::int64_t nowMs);
    void ArmTimer(std::int64_t nowMs);
    void ArmTimerAt(std::int64_t nowMs, std::optional<std::int64_t> dueMs);
    void AskIdentity();
    bool TimerFired(std::int64_t nowMs);
    void CloseWaitFds();

    SerialSettings m_settings;
    std::unique_ptr<Line> m_line;
    FrameReader m_reader;
    int m_timerFd = -1;                     // Linux: the timer and the epoll set of it and the line
    int m_waitFd = -1;
    WaitHandle m_wait = kNoWait;
    std::optional<std::int64_t> m_timerDueMs; // when the timer is set to fire
    ScaleReading m_reading;
    LONG m_unit;
    LONG m_capacity = 0;
    std::string m_model;
    std::string m_frameNote; // said of the last reading's frame (its check character's convention)
    int m_errorsInARow = 0;
    std::int64_t m_sentMs = 0;
    std::optional<std::int64_t> m_nextRequestMs;
    std::optional<std::int64_t> m_heardMs; // streaming: the last frame, or when listening began
    bool m_silent = false;
    std::string m_noise; // streaming: the latest bytes that made no frame since the last one
    std::int64_t m_noiseMs = 0;
};

}
