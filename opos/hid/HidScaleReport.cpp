#include "HidScaleReport.h"

#include "ResultCodes.h"

#include <algorithm>
#include <array>
#include <climits>

namespace opos {

namespace {
constexpr std::uint32_t kWeight = HidUsage(kScalePage, 0x40);
constexpr std::uint32_t kScaling = HidUsage(kScalePage, 0x41);
constexpr std::uint32_t kUnit = HidUsage(kScalePage, 0x50);
constexpr std::uint32_t kStatus = HidUsage(kScalePage, 0x70);
constexpr std::uint32_t kWeightLimitReport = HidUsage(kScalePage, 0x34);
constexpr std::uint32_t kZeroScale = HidUsage(kScalePage, 0x80);
constexpr int kLastStatus = 8, kLastUnit = 12;

// A named array (status 0x70 with selectors 0x71..0x78, unit 0x50 with 0x51..0x5C) or a
// plain variable carrying the selector's number.
bool isNamed(const HidField& f, std::uint32_t named, int last)
{
    if (!f.isArray)
        return f.usage == named;
    return f.collection == named || (f.usage > named && f.usageMax <= named + std::uint32_t(last));
}

// Grams in one of each HID unit, as a fraction (numerator, denominator).
struct Grams
{
    std::int64_t num, den;
};
constexpr std::array<Grams, kLastUnit + 1> kGrams{{
    {0, 1},                        // none
    {1, 1000},                     // milligram
    {1, 1},                        // gram
    {1000, 1},                     // kilogram
    {2, 10},                       // carat
    {37799364167, 1000000000},     // tael (Hong Kong)
    {6479891, 100000000},          // grain
    {155517384, 100000000},        // pennyweight
    {1000000, 1},                  // metric ton
    {90718474, 100},               // avoirdupois ton
    {311034768, 10000000},         // troy ounce
    {28349523125, 1000000000},     // ounce
    {45359237, 100000},            // pound
}};

Grams gramsOf(LONG oposUnit)
{
    switch (oposUnit) {
    case SCAL_WU_KILOGRAM: return kGrams[3];
    case SCAL_WU_OUNCE: return kGrams[11];
    case SCAL_WU_POUND: return kGrams[12];
    default: return kGrams[2];
    }
}

__extension__ using Int128 = __int128; // wide enough for the exact unit fractions

bool times(Int128& value, std::int64_t factor) { return !__builtin_mul_overflow(value, factor, &value); }

// Fills the layout from the fields of one report: false when it lacks weight or unit.
bool fillLayout(const HidDescriptor& d, HidField::Kind kind, std::uint8_t id, ScaleReportLayout& layout)
{
    bool hasWeight = false, hasUnit = false;
    layout = {};
    layout.reportId = id;
    layout.numbered = d.numberedReports;
    for (const HidField& f : d.fields) {
        if (f.kind != kind || f.reportId != id)
            continue;
        if (!f.isArray && f.usage == kWeight && !hasWeight)
            layout.weight = f, hasWeight = true;
        else if (!f.isArray && f.usage == kScaling && !layout.scaling)
            layout.scaling = f;
        else if (isNamed(f, kUnit, kLastUnit) && !hasUnit)
            layout.unit = f, hasUnit = true;
        else if (isNamed(f, kStatus, kLastStatus) && !layout.status)
            layout.status = f;
    }
    return hasWeight && hasUnit;
}

// A named value's number: the selector for an array (0 when none is selected), the value itself otherwise.
int namedValue(const HidField& f, std::uint32_t named, std::int64_t raw)
{
    if (!f.isArray)
        return raw >= 0 && raw <= 255 ? int(raw) : 0;
    if (raw < f.logicalMin || raw > f.logicalMax)
        return 0;
    const std::int64_t usage = std::int64_t(f.usage) + (raw - f.logicalMin);
    return usage > named && usage <= named + 255 ? int(usage - named) : 0;
}
}

std::size_t ScaleReportLayout::Size() const
{
    std::uint32_t bits = 0;
    for (const HidField* f : {&weight, &unit, status ? &*status : nullptr, scaling ? &*scaling : nullptr})
        if (f)
            bits = std::max(bits, f->bitOffset + f->bitSize);
    return (bits + 7) / 8 + (numbered ? 1 : 0);
}

bool FindScaleLayout(const HidDescriptor& descriptor, HidScaleLayout& layout, std::string& why)
{
    bool found = false;
    for (const HidField& f : descriptor.fields) {
        if (f.kind == HidField::Kind::Input && !f.isArray && f.usage == kWeight) {
            found = fillLayout(descriptor, HidField::Kind::Input, f.reportId, layout.data) && layout.data.status;
            if (found)
                break;
        }
    }
    if (!found) {
        why = "its report descriptor has no scale data report (usage page 0x8D: status, unit and weight)";
        return false;
    }
    layout.weightLimit.reset();
    for (const HidField& f : descriptor.fields) {
        ScaleReportLayout limit;
        if (f.kind == HidField::Kind::Feature && f.usage == kWeight && f.collection == kWeightLimitReport &&
            fillLayout(descriptor, HidField::Kind::Feature, f.reportId, limit)) {
            layout.weightLimit = limit;
            break;
        }
    }
    layout.zero.reset();
    for (const HidField& f : descriptor.fields) {
        if (f.kind != HidField::Kind::Input && !f.isArray && f.usage == kZeroScale) {
            layout.zero = f;
            break;
        }
    }
    if (layout.zero) {
        std::uint32_t bits = 0;
        for (const HidField& f : descriptor.fields)
            if (f.kind == layout.zero->kind && f.reportId == layout.zero->reportId)
                bits = std::max(bits, f.bitOffset + f.bitSize);
        layout.zeroReportSize = (bits + 7) / 8 + (descriptor.numberedReports ? 1 : 0);
    }
    return true;
}

std::vector<std::uint8_t> ZeroScaleReport(const HidScaleLayout& layout, bool numbered)
{
    if (!layout.zero)
        return {};
    std::vector<std::uint8_t> report(layout.zeroReportSize);
    if (numbered && !report.empty())
        report[0] = layout.zero->reportId;
    if (!HidSetFieldValue(*layout.zero, numbered, report.data(), report.size(), 1))
        return {};
    return report;
}

bool DecodeScaleReport(const ScaleReportLayout& layout, const std::uint8_t* report, std::size_t size,
                       ScaleReport& out, std::string& why)
{
    if (layout.numbered && (size == 0 || report[0] != layout.reportId))
        return why = "not the scale's report", false;
    std::int64_t weight = 0, unit = 0, status = 0, scaling = 0;
    if (!HidFieldValue(layout.weight, layout.numbered, report, size, weight) ||
        !HidFieldValue(layout.unit, layout.numbered, report, size, unit) ||
        (layout.status && !HidFieldValue(*layout.status, layout.numbered, report, size, status)) ||
        (layout.scaling && !HidFieldValue(*layout.scaling, layout.numbered, report, size, scaling)))
        return why = "the report is " + std::to_string(size) + " bytes, shorter than its layout", false;
    out.weight = weight;
    out.unit = namedValue(layout.unit, kUnit, unit);
    out.status = layout.status ? namedValue(*layout.status, kStatus, status) : 0;
    // The scaling is a signed exponent whatever the logical range says: 0xff is -1.
    out.exponent = layout.scaling && layout.scaling->bitSize == 8 ? int(std::int8_t(scaling)) : int(scaling);
    if (out.unit < 1 || out.unit > kLastUnit)
        return why = "weight unit " + std::to_string(out.unit) + " is not a unit", false;
    if (layout.status && (out.status < 1 || out.status > kLastStatus))
        return why = "status " + std::to_string(out.status) + " is not a scale status", false;
    return true;
}

LONG OposUnit(int hidUnit)
{
    switch (hidUnit) {
    case 3: return SCAL_WU_KILOGRAM;
    case 11: return SCAL_WU_OUNCE;
    case 12: return SCAL_WU_POUND;
    default: return SCAL_WU_GRAM;
    }
}

std::optional<LONG> Thousandths(std::int64_t weight, int exponent, int hidUnit, LONG oposUnit)
{
    if (hidUnit < 1 || hidUnit > kLastUnit || exponent < -30 || exponent > 30)
        return std::nullopt;
    const Grams from = kGrams[std::size_t(hidUnit)], to = gramsOf(oposUnit);
    Int128 num = weight, den = 1;
    bool ok = times(num, from.num) && times(num, to.den) && times(den, from.den) && times(den, to.num);
    for (int e = exponent + 3; ok && e > 0; --e) // thousandths: 10^(exponent + 3)
        ok = times(num, 10);
    for (int e = exponent + 3; ok && e < 0; ++e)
        ok = times(den, 10);
    if (!ok || !times(num, 2) || !times(den, 2))
        return std::nullopt;
    const Int128 rounded = (num + (num < 0 ? -den / 2 : den / 2)) / den; // den is even: half of it is exact
    if (rounded < INT32_MIN || rounded > INT32_MAX)
        return std::nullopt;
    return LONG(rounded);
}

std::optional<ScaleReading> ReadingOf(const ScaleReport& report)
{
    const std::optional<LONG> weight = Thousandths(report.weight, report.exponent, report.unit, OposUnit(report.unit));
    switch (report.status) {
    case 1: case 7: case 8: return ScaleReading{ScaleStatus::Fault, 0};
    case 2: return ScaleReading{ScaleStatus::StableZero, 0};
    case 5: return ScaleReading{ScaleStatus::UnderZero, weight.value_or(0)};
    case 6: return ScaleReading{ScaleStatus::OverCapacity, weight.value_or(0)};
    default: break;
    }
    if (!weight)
        return std::nullopt;
    if (report.status == 3)
        return ScaleReading{ScaleStatus::InMotion, *weight};
    return ScaleReading{*weight == 0 ? ScaleStatus::StableZero : ScaleStatus::Stable, *weight};
}

}
