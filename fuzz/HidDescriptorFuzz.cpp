// Any bytes as a report descriptor: parsed, searched for a scale, its zero report built, and its
// data report read from the same bytes taken as a report; then the same through the Windows path
// (caps and usage values as Windows' HID parser gives them for that descriptor).
#include "opos/hid/HidScaleReport.h"

#include "opos/hid/HidApiScale.h"
#include "tests/opos/HidApiFake.h"

namespace {
void throughTheHidApi(const std::uint8_t* data, std::size_t size)
{
    auto collection = std::make_shared<hidtest::FakeHidCollection>();
    collection->descriptor.assign(data, data + size);
    hidtest::FakeHidApiDevice device(collection);
    hidtest::DescribedCollection parser(collection->descriptor);
    opos::HidCaps caps;
    opos::HidApiLayout layout;
    std::string why;
    if (!device.Caps(caps) || !opos::FindHidApiLayout(caps, layout, why))
        return;
    opos::ScaleReport report;
    if (opos::DecodeHidApiReport(device, layout.data, parser.ApiForm(opos::HidReportType::Input, collection->descriptor), report, why))
        opos::ReadingOf(report);
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    throughTheHidApi(data, size);
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
