// A USB HID POS scale, the same on every platform and for every source of its reports
// (HidReportSource.h): keeps the latest reading, passes over the first report after opening,
// asks for the current report when it has none, reads its capacity, zeroes it, says why it went,
// and tells the traffic tap all of it.
#pragma once

#include "opos/hid/HidReportSource.h"

#include <memory>

namespace opos {

class HidScale : public IScaleDevice
{
public:
    static constexpr LONG kCommandZero = 5; // Direct IO: zero the scale
    explicit HidScale(std::unique_ptr<HidReportSource> source);
    HidScale(const HidScale&) = delete;
    HidScale& operator=(const HidScale&) = delete;

    // Added to the description after the device: which collection was taken, the capture replayed.
    void AddToDescription(const std::string& text) { m_note += text; }

    std::u16string Description() const override;
    LONG Capacity() const override;
    LONG Unit() const override { return m_unit; }
    WaitHandle Waitable() const override { return m_gone ? kNoWait : m_source->Waitable(); }
    std::int64_t NextChangeMs(std::int64_t nowMs) const override;
    void Request(std::int64_t nowMs) override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    void ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

private:
    void TakeIn(); // every report in, without waiting
    void Accept(const HidBytes& report);
    bool Decode(const HidBytes& report);

    std::unique_ptr<HidReportSource> m_source;
    CaptureHeader m_device;
    std::optional<ScaleReport> m_limit; // the weight-limit feature report
    std::optional<ScaleReading> m_latest;
    LONG m_unit;
    bool m_firstSeen = false; // the first report after opening is stale on some scales
    bool m_gone = false;
    std::string m_goneWhy, m_note;
};

}
