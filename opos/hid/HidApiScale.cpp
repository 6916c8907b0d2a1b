#include "opos/hid/HidApiScale.h"

#include "opos/ResultCodes.h"
#include "opos/Utf8.h"


namespace opos {

namespace {
constexpr std::uint16_t kWeight = 0x40, kScaling = 0x41, kUnit = 0x50, kStatus = 0x70, kWeightLimitReport = 0x34,
                        kZeroScale = 0x80;
constexpr std::uint16_t kLastUnit = 12, kLastStatus = 8;

// A named array (selectors in the named usage's collection, or within its selector range), as
// FindScaleLayout takes one from a descriptor.
bool isNamed(const HidButtonCap& b, std::uint16_t named, std::uint16_t last)
{
    return b.page == kScalePage && ((b.linkPage == kScalePage && b.linkUsage == named) ||
                                    (b.usageMin > named && b.usageMax <= named + last));
}

// The fields of one report: false when it lacks weight or unit.
bool fillLayout(const HidCaps& caps, HidReportType type, std::uint8_t id, HidApiReportLayout& layout)
{
    layout = {};
    layout.type = type;
    layout.reportId = id;
    layout.size = type == HidReportType::Input ? caps.inputBytes : caps.featureBytes;
    bool hasWeight = false;
    for (const HidValueCap& v : caps.values) {
        if (v.type != type || v.reportId != id || v.page != kScalePage)
            continue;
        if (v.usage == kWeight && !hasWeight)
            layout.weight = v, hasWeight = true;
        else if (v.usage == kScaling && !layout.scaling)
            layout.scaling = v;
        else if (v.usage == kUnit && !layout.unitValue)
            layout.unitValue = v;
        else if (v.usage == kStatus && !layout.statusValue)
            layout.statusValue = v;
    }
    for (const HidButtonCap& b : caps.buttons) {
        if (b.type != type || b.reportId != id)
            continue;
        if (isNamed(b, kUnit, kLastUnit) && !layout.unitValue && !layout.unitArray)
            layout.unitArray = b;
        else if (isNamed(b, kStatus, kLastStatus) && !layout.statusValue && !layout.statusArray)
            layout.statusArray = b;
    }
    return hasWeight && (layout.unitValue || layout.unitArray);
}

// The number of the selector chosen in a named array; 0 when none is.
int selected(const HidButtonCap& array, std::uint16_t named, const std::vector<std::uint16_t>& usages)
{
    for (std::uint16_t u : usages)
        if (u >= array.usageMin && u <= array.usageMax && u > named)
            return u - named;
    return 0;
}

}

bool FindHidApiLayout(const HidCaps& caps, HidApiLayout& layout, std::string& why)
{
    bool found = false;
    for (const HidValueCap& v : caps.values) {
        if (v.type == HidReportType::Input && v.page == kScalePage && v.usage == kWeight &&
            fillLayout(caps, HidReportType::Input, v.reportId, layout.data) && layout.data.HasStatus()) {
            found = true;
            break;
        }
    }
    if (caps.page != kScalePage || !found) {
        why = "its HID collection has no scale data report (usage page 0x8D: status, unit and weight)";
        return false;
    }
    layout.weightLimit.reset();
    for (const HidValueCap& v : caps.values) {
        HidApiReportLayout limit;
        if (v.type == HidReportType::Feature && v.page == kScalePage && v.usage == kWeight &&
            v.linkPage == kScalePage && v.linkUsage == kWeightLimitReport &&
            fillLayout(caps, HidReportType::Feature, v.reportId, limit)) {
            layout.weightLimit = limit;
            break;
        }
    }
    layout.zero.reset();
    for (const HidButtonCap& b : caps.buttons) {
        if (b.type != HidReportType::Input && b.page == kScalePage && b.usageMin <= kZeroScale && b.usageMax >= kZeroScale) {
            layout.zero = b;
            break;
        }
    }
    return true;
}

bool DecodeHidApiReport(HidApiDevice& device, const HidApiReportLayout& layout, const HidBytes& report, ScaleReport& out,
                        std::string& why)
{
    if (report.empty() || report[0] != layout.reportId)
        return why = "not the scale's report", false;
    const auto value = [&](const HidValueCap& cap, std::int64_t& v) {
        std::uint32_t raw = 0;
        if (!device.UsageValue(layout.type, cap.page, cap.usage, report, raw))
            return false;
        v = HidSigned(raw, cap.bitSize, cap.logicalMin);
        return true;
    };
    std::vector<std::uint16_t> usages;
    std::int64_t unit = 0, status = 0;
    ScaleFields fields;
    if (!value(layout.weight, fields.weight) || (layout.unitValue && !value(*layout.unitValue, unit)) ||
        (layout.statusValue && !value(*layout.statusValue, status)) ||
        (layout.scaling && !value(*layout.scaling, fields.scaling)) ||
        ((layout.unitArray || layout.statusArray) && !device.Usages(layout.type, kScalePage, report, usages)))
        return why = "the HID parser cannot read the " + std::to_string(report.size()) + "-byte report as the scale's", false;
    fields.unit = layout.unitArray ? selected(*layout.unitArray, kUnit, usages) : NamedNumber(unit);
    if (layout.HasStatus())
        fields.status = layout.statusArray ? selected(*layout.statusArray, kStatus, usages) : NamedNumber(status);
    fields.scalingBits = layout.scaling ? layout.scaling->bitSize : 0;
    return ScaleReportOf(fields, out, why);
}

std::vector<HidrawNode> ListHidApiDevices(HidApi& api)
{
    std::vector<HidrawNode> nodes;
    for (const std::string& path : api.DevicePaths()) {
        std::string why;
        const std::unique_ptr<HidApiDevice> device = api.Open(path, false, why);
        HidrawNode node;
        node.path = path;
        HidCaps caps;
        HidApiLayout layout;
        if (!device || !device->Attributes(node.vendor, node.product))
            continue; // gone since the list was taken
        node.name = device->ProductName();
        node.scale = device->Caps(caps) && FindHidApiLayout(caps, layout, why);
        nodes.push_back(node);
    }
    return nodes;
}

namespace {
class HidApiSource : public HidReportSource
{
public:
    HidApiSource(std::unique_ptr<HidApiDevice> device, const std::string& path) : m_device(std::move(device))
    {
        m_header.driver = "hid";
        m_header.device = path;
        m_device->Attributes(m_header.vendor, m_header.product);
        m_header.name = m_device->ProductName();
        HidCaps caps;
        std::string why = "the HID parser gives no caps";
        if (!m_device->Caps(caps) || !FindHidApiLayout(caps, m_layout, why))
            throw DeviceError(OPOS_E_NOHARDWARE, path + " (" + m_header.name + ") is not a HID POS scale: " + why);
    }

    // Windows gives no report descriptor to put in the header.
    CaptureHeader Device() const override { return m_header; }
    std::optional<ScaleReport> WeightLimit() override
    {
        if (!m_layout.weightLimit || !m_layout.weightLimit->size)
            return std::nullopt;
        HidBytes report(m_layout.weightLimit->size);
        report[0] = m_layout.weightLimit->reportId;
        ScaleReport limit;
        std::string why;
        if (!m_device->GetFeature(report))
            return std::nullopt;
        m_header.features.push_back(report);
        if (!DecodeHidApiReport(*m_device, *m_layout.weightLimit, report, limit, why))
            return std::nullopt;
        return limit;
    }
    bool Decode(const HidBytes& report, ScaleReport& out, std::string& why) override
    {
        return DecodeHidApiReport(*m_device, m_layout.data, report, out, why);
    }
    WaitHandle Waitable() const override { return m_device->Waitable(); }
    Read ReadReport(HidBytes& report, std::string& why) override
    {
        switch (m_device->ReadReport(report, why)) {
        case HidApiDevice::Read::Report: return Read::Report;
        case HidApiDevice::Read::Gone: return Read::Gone;
        case HidApiDevice::Read::Nothing: break;
        }
        return Read::Nothing;
    }
    HidBytes AskCurrent() override
    {
        if (!m_layout.data.size)
            return {};
        HidBytes report(m_layout.data.size);
        report[0] = m_layout.data.reportId;
        return m_device->GetInput(report) ? report : HidBytes{};
    }
    Zero SendZero(HidBytes& sent) override
    {
        const std::optional<HidButtonCap>& zero = m_layout.zero;
        if (!zero || !m_device->ReportWithButton(zero->type, zero->reportId, zero->page, kZeroScale, sent))
            return Zero::NoControl;
        const bool done = zero->type == HidReportType::Output ? m_device->SetOutput(sent) : m_device->SetFeature(sent);
        return done ? Zero::Sent : Zero::Failed;
    }

private:
    std::unique_ptr<HidApiDevice> m_device;
    CaptureHeader m_header;
    HidApiLayout m_layout;
};
}

std::unique_ptr<IScaleDevice> OpenHidApiScale(HidApi& api, const std::string& path)
{
    std::string why;
    std::unique_ptr<HidApiDevice> device = api.Open(path, true, why);
    if (!device)
        throw DeviceError(OPOS_E_NOHARDWARE, why);
    return std::make_unique<HidScale>(std::make_unique<HidApiSource>(std::move(device), path));
}

}
