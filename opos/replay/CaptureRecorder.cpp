#include "opos/replay/CaptureRecorder.h"

#include "opos/WeightReport.h"

#include <cstdio>

namespace opos {

CaptureRecorder::CaptureRecorder(Writer write, std::string tool) : m_write(std::move(write)), m_tool(std::move(tool)) {}

std::int64_t CaptureRecorder::Ms() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count();
}

// One device per capture: a device opened again later (the same one) adds no second header.
void CaptureRecorder::Opened(const CaptureHeader& device)
{
    if (m_started)
        return;
    CaptureHeader header = device;
    header.tool = m_tool;
    m_write(CaptureHeaderText(header));
    m_started = true;
}

void CaptureRecorder::Bytes(CaptureDirection direction, const std::uint8_t* bytes, std::size_t size)
{
    if (m_started)
        m_write(CaptureEventLine({Ms(), direction, CaptureBytes(bytes, bytes + size)}));
}

void CaptureRecorder::Decoded(const ScaleReading& reading, LONG unit)
{
    static const char* const kStatus[] = {"stable", "in motion", "stable zero", "under zero", "over capacity", "fault", "gone"};
    char weight[48];
    std::snprintf(weight, sizeof weight, " %.3f %s", reading.weight * 0.001, WeightReport::UnitSymbol(unit));
    const bool weighed = reading.status == ScaleStatus::Stable || reading.status == ScaleStatus::InMotion;
    if (m_started)
        m_write(std::string("#   = ") + kStatus[int(reading.status)] + (weighed ? weight : "") + "\n");
}

void CaptureRecorder::NotDecoded(std::string_view why)
{
    if (m_started)
        m_write("#   ! " + CaptureText(why) + "\n");
}

}
