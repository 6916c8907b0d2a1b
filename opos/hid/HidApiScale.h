// A USB HID POS scale through the Windows HID API (HidApi.h). Windows gives no report descriptor,
// so the scale is found by its collection's caps and its reports read through the API's usage
// values; what those values say is the pure code Linux uses (ScaleReportOf, ReadingOf).
#pragma once

#include "opos/hid/HidApi.h"
#include "opos/hid/HidDevices.h"
#include "opos/hid/HidScaleReport.h"

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

class HidApiScale : public IScaleDevice
{
public:
    static constexpr LONG kCommandZero = 5; // Direct IO: zero the scale, as on Linux
    // Raises DeviceError (OPOS_E_NOHARDWARE) when the collection is no scale.
    HidApiScale(std::unique_ptr<HidApiDevice> device, std::string path);

    std::u16string Description() const override;
    LONG Capacity() const override;
    LONG Unit() const override { return m_unit; }
    WaitHandle Waitable() const override { return m_gone ? kNoWait : m_device->Waitable(); }
    void Request(std::int64_t nowMs) override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    void ClearInput() override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

private:
    void TakeIn();
    bool Decode(const HidBytes& report);

    std::unique_ptr<HidApiDevice> m_device;
    std::string m_path, m_name;
    std::uint16_t m_vendor = 0, m_product = 0;
    HidApiLayout m_layout;
    std::optional<ScaleReport> m_limit;
    std::optional<ScaleReading> m_latest;
    LONG m_unit = 0; // SCAL_WU_*, set on opening
    bool m_firstSeen = false; // the first report after opening is stale on some scales
    bool m_gone = false;
    std::string m_goneWhy;
};

// Opens the collection at path for reading; raises DeviceError (OPOS_E_NOHARDWARE) saying why not.
std::unique_ptr<IScaleDevice> OpenHidApiScale(HidApi& api, const std::string& path);

}
