// A USB HID POS scale: reads its scale data reports from a hidraw descriptor (or, in tests, a
// SEQPACKET socket that keeps one report per read as hidraw does) and keeps the latest reading.
#pragma once

#include "opos/hid/HidScaleReport.h"

#include <functional>

namespace opos {

// What the scale needs of its device node; OpenHidraw fills it from a real one.
struct HidConnection
{
    int fd = -1; // reports arrive here, one per read; owned by the scale from then on
    std::string path;
    std::string name;
    std::uint16_t vendor = 0, product = 0;
    std::vector<std::uint8_t> descriptor;
    // A feature report by id (the id first), empty when the device will not give it.
    std::function<std::vector<std::uint8_t>(std::uint8_t reportId, std::size_t size)> feature;
    // The scale's current input report, asked for over the control pipe; empty when it will not say.
    std::function<std::vector<std::uint8_t>(std::uint8_t reportId, std::size_t size)> input;
    // Sends a feature report (the id first); false when the device refuses. Output reports are
    // written to fd.
    std::function<bool(const std::vector<std::uint8_t>& report)> setFeature;
};

class HidScale : public IScaleDevice
{
public:
    static constexpr LONG kCommandZero = 5; // Direct IO: zero the scale
    // Raises DeviceError (OPOS_E_NOHARDWARE) when the descriptor describes no scale; closes fd then.
    explicit HidScale(HidConnection connection);
    ~HidScale() override;
    HidScale(const HidScale&) = delete;
    HidScale& operator=(const HidScale&) = delete;

    std::u16string Description() const override;
    LONG Capacity() const override;
    LONG Unit() const override { return m_unit; }
    WaitHandle Waitable() const override { return m_gone ? kNoWait : m_connection.fd; }
    void Request(std::int64_t nowMs) override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    void ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

private:
    void TakeIn(); // every report waiting, without blocking
    void Accept(const std::uint8_t* report, std::size_t size);
    bool Decode(const std::uint8_t* report, std::size_t size);

    HidConnection m_connection;
    HidScaleLayout m_layout;
    std::optional<ScaleReport> m_limit; // the weight-limit feature report
    std::optional<ScaleReading> m_latest;
    LONG m_unit;
    bool m_firstSeen = false; // the first report after opening is stale on some scales
    bool m_gone = false;
};

}
