// A counter scale on a serial line (RS-232 or a USB-serial adapter) speaking one of the serial
// protocols. It answers only when asked, once per request, so the scale keeps asking while a
// read waits: its descriptor is an epoll set of the line and a timer for the next request.
#pragma once

#include "ResultCodes.h"
#include "ScaleDevice.h"
#include "SerialLine.h"
#include "SerialProbe.h" // ProbeProtocol, which lived here, for its callers
#include "SerialProtocol.h"

#include <optional>

namespace opos::serial {

struct SerialSettings
{
    std::string device;
    Protocol protocol = Protocol::Toledo;
    LineSettings line; // the protocol's usual settings unless configured
    LONG unit = SCAL_WU_KILOGRAM; // where the protocol does not say
};

class SerialScale : public IScaleDevice
{
public:
    static constexpr std::int64_t kRepeatMs = 100; // between a reply and the next request
    static constexpr std::int64_t kResendMs = 500; // a request left unanswered is sent again
    static constexpr int kErrorsToFail = 3;        // errors in a row that fail a read
    static constexpr int kIdentityWaitMs = 500;

    // Raises DeviceError(OPOS_E_NOHARDWARE) when the line cannot be opened.
    explicit SerialScale(const SerialSettings& settings);
    // On a line already open (a replay's pseudo-terminal); settings.device only names the scale.
    SerialScale(const SerialSettings& settings, std::unique_ptr<SerialLine> line);
    ~SerialScale() override;

    std::u16string Description() const override;
    LONG Capacity() const override { return m_capacity; }
    LONG Unit() const override { return m_unit; }
    int WaitFd() const override { return m_waitFd; }
    void Request(std::int64_t nowMs) override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    void ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

private:
    void Send(std::string_view request, std::int64_t nowMs);
    void Take(const Frame& frame, std::int64_t nowMs);
    void ArmTimer(std::int64_t nowMs);
    void AskIdentity();
    void CloseWaitFds();

    SerialSettings m_settings;
    std::unique_ptr<SerialLine> m_line;
    FrameReader m_reader;
    int m_timerFd = -1;
    int m_waitFd = -1;
    ScaleReading m_reading;
    LONG m_unit;
    LONG m_capacity = 0;
    std::string m_model;
    int m_errorsInARow = 0;
    std::int64_t m_sentMs = 0;
    std::optional<std::int64_t> m_nextRequestMs;
};

}
