// A USB HID POS scale's reports through the Windows HID API (HidApi.h), a source of the one
// HidScale. Windows gives no report descriptor, so the scale is found by its collection's caps and
// its reports read through the API's usage values; what those values say is the pure code Linux
// uses (ScaleReportOf, ReadingOf).
#pragma once

#include "opos/hid/HidApi.h"
#include "opos/hid/HidDevices.h"
#include "opos/hid/HidScale.h"

namespace opos {

// Where a scale report's fields are, by usage: unit and status are named arrays (their
// selectors) or plain variables, as in a descriptor.
struct HidApiReportLayout
{
    HidReportType type = HidReportType::Input;
    std::uint8_t reportId = 0;
    std::size_t size = 0; // bytes, id included: the collection's report length of that type
    HidValueCap weight;
    std::optional<HidValueCap> scaling, unitValue, statusValue;
    std::optional<HidButtonCap> unitArray, statusArray;
    bool HasStatus() const { return statusValue || statusArray; }
};

struct HidApiLayout
{
    HidApiReportLayout data;                       // input report (0x32)
    std::optional<HidApiReportLayout> weightLimit; // feature report (0x34)
    std::optional<HidButtonCap> zero;              // Zero Scale (0x80), an output or feature button
};

// False, with why, when the caps show no scale data report (usage page 0x8D: status, unit, weight).
bool FindHidApiLayout(const HidCaps& caps, HidApiLayout& layout, std::string& why);
// The report's fields as the device's HID parser reads them, checked by ScaleReportOf.
bool DecodeHidApiReport(HidApiDevice& device, const HidApiReportLayout& layout, const HidBytes& report, ScaleReport& out,
                        std::string& why);

// Every HID collection present, opened with no access for its ids, name and caps.
std::vector<HidrawNode> ListHidApiDevices(HidApi& api);

// Opens the collection at path for reading as a HidScale; raises DeviceError (OPOS_E_NOHARDWARE)
// saying why not.
std::unique_ptr<IScaleDevice> OpenHidApiScale(HidApi& api, const std::string& path);

}
