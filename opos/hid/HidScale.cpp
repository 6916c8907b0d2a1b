#include "opos/hid/HidScale.h"

#include "opos/ResultCodes.h"
#include "opos/TrafficTap.h"
#include "opos/Utf8.h"

#include <cstdio>

namespace opos {

namespace {
constexpr int kMaxReportsPerLook = 256; // a flooding device cannot hold a read up for long

void tapBytes(CaptureDirection direction, const HidBytes& bytes)
{
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->Bytes(direction, bytes.data(), bytes.size());
}

void tapNotDecoded(std::string_view why)
{
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->NotDecoded(why);
}
}

DescribedScaleReports::DescribedScaleReports(const HidBytes& descriptor, const std::string& who)
{
    HidDescriptor parsed;
    std::string why;
    if (!ParseHidDescriptor(descriptor.data(), descriptor.size(), parsed, why) || !FindScaleLayout(parsed, m_layout, why))
        throw DeviceError(OPOS_E_NOHARDWARE, who + " is not a HID POS scale: " + why);
}

bool DescribedScaleReports::Decode(const HidBytes& report, ScaleReport& out, std::string& why) const
{
    return DecodeScaleReport(m_layout.data, report.data(), report.size(), out, why);
}

std::optional<ScaleReport> DescribedScaleReports::Limit(const HidBytes& feature) const
{
    ScaleReport limit;
    std::string why;
    if (!m_layout.weightLimit || !DecodeScaleReport(*m_layout.weightLimit, feature.data(), feature.size(), limit, why))
        return std::nullopt;
    return limit;
}

HidScale::HidScale(std::unique_ptr<HidReportSource> source) : m_source(std::move(source))
{
    m_limit = m_source->WeightLimit();
    m_unit = m_limit ? OposUnit(m_limit->unit) : SCAL_WU_GRAM;
    m_device = m_source->Device();
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->Opened(m_device);
}

std::u16string HidScale::Description() const
{
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", m_device.vendor, m_device.product);
    std::string text = m_device.name + " (USB HID scale " + ids + ", " + m_device.device + ")" + m_note;
    if (m_gone)
        text += ": " + m_goneWhy;
    return Utf16FromUtf8(text);
}

LONG HidScale::Capacity() const
{
    return m_limit ? Thousandths(m_limit->weight, m_limit->exponent, m_limit->unit, m_unit).value_or(0) : 0;
}

std::int64_t HidScale::NextChangeMs(std::int64_t nowMs) const
{
    return m_gone ? nowMs : m_source->NextReportMs(nowMs);
}

ScaleReading HidScale::ReadingAt(std::int64_t)
{
    TakeIn();
    if (m_gone)
        return {ScaleStatus::Gone, 0};
    return m_latest.value_or(ScaleReading{ScaleStatus::InMotion, 0});
}

// With nothing received since opening or ClearInput, the current report is asked for: a scale
// that reports only changes would otherwise leave a still load unread.
void HidScale::Request(std::int64_t)
{
    TakeIn();
    if (m_latest || m_gone)
        return;
    const HidBytes report = m_source->AskCurrent();
    tapBytes(CaptureDirection::Asked, report);
    // The answer is the scale's state now: whatever comes after it is news, not a stale report.
    m_firstSeen = m_firstSeen || !report.empty();
    if (report.empty())
        tapNotDecoded("no report");
    else
        Decode(report);
}

void HidScale::ClearInput()
{
    TakeIn();
    m_latest.reset();
}

LONG HidScale::DirectIO(LONG command, LONG&, std::optional<std::u16string>&, std::int64_t)
{
    if (command != kCommandZero)
        return OPOS_E_ILLEGAL;
    TakeIn();
    if (m_gone)
        return OPOS_E_OFFLINE;
    HidBytes sent;
    const HidReportSource::Zero zero = m_source->SendZero(sent);
    if (zero == HidReportSource::Zero::NoControl)
        return OPOS_E_ILLEGAL;
    tapBytes(CaptureDirection::Sent, sent);
    return zero == HidReportSource::Zero::Sent ? OPOS_SUCCESS : OPOS_E_FAILURE;
}

void HidScale::TakeIn()
{
    HidBytes report;
    for (int n = 0; n < kMaxReportsPerLook && !m_gone; ++n) {
        switch (m_source->ReadReport(report, m_goneWhy)) {
        case HidReportSource::Read::Nothing: return;
        case HidReportSource::Read::Gone: m_gone = true; return;
        case HidReportSource::Read::Report: break;
        }
        tapBytes(CaptureDirection::Received, report);
        Accept(report);
    }
}

// Reports that are not the scale's data report, or say nothing valid, are passed over.
void HidScale::Accept(const HidBytes& report)
{
    if (!m_firstSeen) {
        m_firstSeen = true;
        tapNotDecoded("the first report after opening, passed over (stale on some scales)");
        return;
    }
    Decode(report);
}

bool HidScale::Decode(const HidBytes& report)
{
    ScaleReport decoded;
    std::string why;
    if (!m_source->Decode(report, decoded, why)) {
        tapNotDecoded(why);
        return false;
    }
    const std::optional<ScaleReading> reading = ReadingOf(decoded);
    if (!reading) {
        tapNotDecoded("status " + std::to_string(decoded.status) + " or unit " + std::to_string(decoded.unit) + " says no reading");
        return false;
    }
    m_latest = reading;
    m_unit = OposUnit(decoded.unit);
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->Decoded(*reading, m_unit);
    return true;
}

}
