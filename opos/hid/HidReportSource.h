// Where a USB HID POS scale's reports come from: a hidraw node (Hidraw.h), a collection opened
// through the Windows HID API (HidApiScale.h), a capture played back (replay/HidReplay.h) or a
// test's fake. A source moves reports and knows where their fields are; what a scale does with
// them (the first report, asking for the current one, capacity, zero, going away) is HidScale's,
// the same for every source.
#pragma once

#include "opos/hid/HidApi.h"
#include "opos/hid/HidScaleReport.h"
#include "opos/replay/Capture.h"

#include <optional>
#include <string>

namespace opos {

class HidReportSource
{
public:
    virtual ~HidReportSource() = default;

    // The device as a capture's header names it: driver "hid", path, name, ids, and the report
    // descriptor and feature reports where the platform gives them.
    virtual CaptureHeader Device() const = 0;
    // The weight-limit feature report, read as the scale opens; nullopt when there is none.
    virtual std::optional<ScaleReport> WeightLimit() = 0;
    // What a scale data report says; false, with why, when it says nothing valid.
    virtual bool Decode(const HidBytes& report, ScaleReport& out, std::string& why) = 0;

    // Turns ready when a report is in or the device has gone; kNoWait for reports due by the clock.
    virtual WaitHandle Waitable() const = 0;
    // When the next report is due, for a source that follows the clock.
    virtual std::int64_t NextReportMs(std::int64_t /*nowMs*/) const { return IScaleDevice::kNoChange; }
    enum class Read { Report, Nothing, Gone };
    // The next input report when one is in. It never waits: the scale's waits go through the
    // clock on Waitable, each with its bound. Gone, with why, when nothing more will come.
    virtual Read ReadReport(HidBytes& report, std::string& why) = 0;
    // The scale's current input report, asked for; empty when it will not say.
    virtual HidBytes AskCurrent() = 0;
    enum class Zero { NoControl, Sent, Failed };
    // Asks the scale to zero itself; `sent` is the report written.
    virtual Zero SendZero(HidBytes& sent) = 0;
};

// The layout a report descriptor gives (hidraw, replay): raises DeviceError (OPOS_E_NOHARDWARE)
// naming `who` when the descriptor describes no scale.
class DescribedScaleReports
{
public:
    DescribedScaleReports(const HidBytes& descriptor, const std::string& who);
    const HidScaleLayout& Layout() const { return m_layout; }
    bool Decode(const HidBytes& report, ScaleReport& out, std::string& why) const;
    std::optional<ScaleReport> Limit(const HidBytes& feature) const;
    // The Zero Scale report, and whether it is an output report (else a feature report); empty
    // when the scale has no zero control.
    HidBytes ZeroReport() const { return ZeroScaleReport(m_layout, m_layout.data.numbered); }
    bool ZeroIsOutput() const { return m_layout.zero && m_layout.zero->kind == HidField::Kind::Output; }

private:
    HidScaleLayout m_layout;
};

}
