#include "opos/replay/HidReplay.h"

#include "opos/hid/HidScale.h"

#include <algorithm>
#include <cmath>

namespace opos {

namespace {
class HidReplaySource : public HidReportSource
{
public:
    HidReplaySource(const Capture& capture, const ReplaySettings& settings)
        : m_header(capture.header), m_settings(settings),
          m_reports(capture.header.descriptor, (capture.header.device.empty() ? "replay" : capture.header.device) + " (" +
                                                    capture.header.name + ")")
    {
        m_header.driver = "hid";
        if (m_header.device.empty())
            m_header.device = "replay";
        for (const CaptureEvent& event : capture.events) {
            if (event.direction == CaptureDirection::Received)
                m_received.push_back(event);
            else if (event.direction == CaptureDirection::Asked)
                m_asked.push_back(event.bytes);
        }
        // A loop starts again one mean spacing after the last report.
        if (!m_received.empty()) {
            const std::int64_t span = m_received.back().ms - m_received.front().ms;
            const std::int64_t spacing = m_received.size() > 1 ? span / std::int64_t(m_received.size() - 1) : 100;
            m_periodMs = std::max<std::int64_t>(m_received.back().ms + spacing, 1);
        }
        m_startMs = CurrentClock().NowMs();
    }

    CaptureHeader Device() const override { return m_header; }
    std::optional<ScaleReport> WeightLimit() override
    {
        const auto& layout = m_reports.Layout().weightLimit;
        if (!layout)
            return std::nullopt;
        const auto feature = std::find_if(m_header.features.begin(), m_header.features.end(),
                                          [&](const CaptureBytes& f) { return !f.empty() && f[0] == layout->reportId; });
        return feature == m_header.features.end() ? std::nullopt : m_reports.Limit(*feature);
    }
    bool Decode(const HidBytes& report, ScaleReport& out, std::string& why) override { return m_reports.Decode(report, out, why); }
    WaitHandle Waitable() const override { return kNoWait; }
    std::int64_t NextReportMs(std::int64_t) const override
    {
        return m_next < m_received.size() ? DueMs(m_next) : IScaleDevice::kNoChange;
    }
    Read ReadReport(HidBytes& report, std::string&) override
    {
        if (m_next >= m_received.size() || DueMs(m_next) > CurrentClock().NowMs())
            return Read::Nothing;
        report = m_received[m_next].bytes;
        if (++m_next == m_received.size() && m_settings.loop)
            m_next = 0, ++m_rounds;
        return Read::Report;
    }
    HidBytes AskCurrent() override
    {
        if (m_nextAsked == m_asked.size() && m_settings.loop)
            m_nextAsked = 0;
        return m_nextAsked < m_asked.size() ? m_asked[m_nextAsked++] : HidBytes{};
    }
    // Taken, as the scale took it.
    Zero SendZero(HidBytes& sent) override
    {
        sent = m_reports.ZeroReport();
        return sent.empty() ? Zero::NoControl : Zero::Sent;
    }

private:
    // The clock time the report is due at in this round of the capture.
    std::int64_t DueMs(std::size_t i) const
    {
        const double recorded = double(m_received[i].ms + m_rounds * m_periodMs);
        return m_startMs + std::int64_t(std::ceil(recorded / m_settings.speed));
    }

    CaptureHeader m_header;
    ReplaySettings m_settings;
    DescribedScaleReports m_reports;
    std::vector<CaptureEvent> m_received;
    std::vector<HidBytes> m_asked;
    std::size_t m_next = 0, m_nextAsked = 0;
    std::int64_t m_startMs = 0, m_periodMs = 1, m_rounds = 0;
};
}

std::unique_ptr<IScaleDevice> OpenHidReplay(const Capture& capture, const ReplaySettings& settings)
{
    auto scale = std::make_unique<HidScale>(std::make_unique<HidReplaySource>(capture, settings));
    scale->AddToDescription(", replaying " + settings.file);
    return scale;
}

}
