// Any bytes as a report descriptor: parsed, searched for a scale, its zero report built, and its
// data report read from the same bytes taken as a report.
#include "HidScaleReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    opos::HidDescriptor descriptor;
    opos::HidScaleLayout layout;
    std::string why;
    if (!opos::ParseHidDescriptor(data, size, descriptor, why) || !opos::FindScaleLayout(descriptor, layout, why))
        return 0;
    opos::ZeroScaleReport(layout, descriptor.numberedReports);
    opos::ScaleReport report;
    if (opos::DecodeScaleReport(layout.data, data, size, report, why))
        opos::ReadingOf(report);
    return 0;
}
