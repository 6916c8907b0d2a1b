#include "opos/hid/HidScale.h"

#include "opos/ResultCodes.h"
#include "opos/TrafficTap.h"
#include "opos/Utf8.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace opos {

namespace {
constexpr int kMaxReportsPerLook = 256; // a flooding device cannot hold a read up for long
constexpr std::size_t kReportBuffer = 4096;

void tapBytes(CaptureDirection direction, const std::uint8_t* bytes, std::size_t size)
{
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->Bytes(direction, bytes, size);
}

void tapNotDecoded(std::string_view why)
{
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->NotDecoded(why);
}
}

HidScale::HidScale(HidConnection connection) : m_connection(std::move(connection))
{
    HidDescriptor descriptor;
    std::string why;
    const auto& bytes = m_connection.descriptor;
    if (!ParseHidDescriptor(bytes.data(), bytes.size(), descriptor, why) || !FindScaleLayout(descriptor, m_layout, why)) {
        ::close(m_connection.fd);
        throw DeviceError(OPOS_E_NOHARDWARE, m_connection.path + " (" + m_connection.name + ") is not a HID POS scale: " + why);
    }
    ::fcntl(m_connection.fd, F_SETFL, ::fcntl(m_connection.fd, F_GETFL) | O_NONBLOCK);
    CaptureHeader opened;
    opened.driver = "hid";
    opened.device = m_connection.path;
    opened.name = m_connection.name;
    opened.vendor = m_connection.vendor;
    opened.product = m_connection.product;
    opened.descriptor = bytes;
    if (m_layout.weightLimit && m_connection.feature) {
        const std::vector<std::uint8_t> report = m_connection.feature(m_layout.weightLimit->reportId, m_layout.weightLimit->Size());
        ScaleReport limit;
        if (DecodeScaleReport(*m_layout.weightLimit, report.data(), report.size(), limit, why))
            m_limit = limit;
        if (!report.empty())
            opened.features.push_back(report);
    }
    m_unit = m_limit ? OposUnit(m_limit->unit) : SCAL_WU_GRAM;
    if (TrafficTap* tap = CurrentTrafficTap())
        tap->Opened(opened);
}

HidScale::~HidScale() { ::close(m_connection.fd); }

std::u16string HidScale::Description() const
{
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", m_connection.vendor, m_connection.product);
    return Utf16FromUtf8(m_connection.name + " (USB HID scale " + ids + ", " + m_connection.path + ")");
}

LONG HidScale::Capacity() const
{
    if (!m_limit)
        return 0;
    return Thousandths(m_limit->weight, m_limit->exponent, m_limit->unit, m_unit).value_or(0);
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
    if (m_latest || m_gone || !m_connection.input)
        return;
    const std::vector<std::uint8_t> report = m_connection.input(m_layout.data.reportId, m_layout.data.Size());
    tapBytes(CaptureDirection::Asked, report.data(), report.size());
    Decode(report.data(), report.size());
}

void HidScale::ClearInput()
{
    TakeIn();
    m_latest.reset();
}

LONG HidScale::DirectIO(LONG command, LONG&, std::optional<std::u16string>&, std::int64_t)
{
    const std::vector<std::uint8_t> report = ZeroScaleReport(m_layout, m_layout.data.numbered);
    if (command != kCommandZero || report.empty())
        return OPOS_E_ILLEGAL;
    TakeIn();
    if (m_gone)
        return OPOS_E_OFFLINE;
    tapBytes(CaptureDirection::Sent, report.data(), report.size());
    const bool sent = m_layout.zero->kind == HidField::Kind::Output
                          ? ::write(m_connection.fd, report.data(), report.size()) == ssize_t(report.size())
                          : m_connection.setFeature && m_connection.setFeature(report);
    return sent ? OPOS_SUCCESS : OPOS_E_FAILURE;
}

void HidScale::TakeIn()
{
    std::uint8_t report[kReportBuffer];
    for (int n = 0; n < kMaxReportsPerLook && !m_gone; ++n) {
        const ssize_t got = ::read(m_connection.fd, report, sizeof report);
        if (got > 0) {
            tapBytes(CaptureDirection::Received, report, std::size_t(got));
            Accept(report, std::size_t(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            // Nothing more for now, or the end: the peer hung up (0) or the device went (ENODEV, EIO).
            m_gone = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            return;
        }
    }
}

// Reports that are not the scale's data report, or say nothing valid, are passed over.
void HidScale::Accept(const std::uint8_t* report, std::size_t size)
{
    if (!m_firstSeen) {
        m_firstSeen = true;
        tapNotDecoded("the first report after opening, passed over (stale on some scales)");
        return;
    }
    Decode(report, size);
}

bool HidScale::Decode(const std::uint8_t* report, std::size_t size)
{
    ScaleReport decoded;
    std::string why;
    if (!DecodeScaleReport(m_layout.data, report, size, decoded, why)) {
        tapNotDecoded(size == 0 ? "no report" : why);
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
