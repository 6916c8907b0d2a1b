#include "opos/hid/HidScaleReport.h"

#include "opos/ResultCodes.h"

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

// The exact unit fractions need more than 64 bits, and 32-bit x86 (what ships on Windows) has no
// 128-bit integer: a magnitude in four 32-bit limbs, least significant first, kept below 2^127.
struct Wide
{
    std::array<std::uint32_t, 4> limb{};

    explicit Wide(std::uint64_t v = 0) : limb{std::uint32_t(v), std::uint32_t(v >> 32), 0, 0} {}
    bool times(std::uint64_t factor)
    {
        const std::uint32_t f[2] = {std::uint32_t(factor), std::uint32_t(factor >> 32)};
        std::uint32_t r[6] = {};
        for (int j = 0; j < 2; ++j) {
            std::uint64_t carry = 0;
            for (int i = 0; i < 4; ++i) {
                const std::uint64_t t = std::uint64_t(limb[std::size_t(i)]) * f[j] + r[i + j] + carry;
                r[i + j] = std::uint32_t(t);
                carry = t >> 32;
            }
            r[4 + j] = std::uint32_t(carry);
        }
        if (r[4] || r[5] || r[3] >> 31)
            return false;
        std::copy(r, r + 4, limb.begin());
        return true;
    }
    bool bit(int n) const { return limb[std::size_t(n / 32)] >> (n % 32) & 1; }
    friend bool operator<(const Wide& a, const Wide& b)
    {
        return std::lexicographical_compare(a.limb.rbegin(), a.limb.rend(), b.limb.rbegin(), b.limb.rend());
    }
    Wide& operator+=(const Wide& b)
    {
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::uint64_t t = std::uint64_t(limb[i]) + b.limb[i] + carry;
            limb[i] = std::uint32_t(t);
            carry = t >> 32;
        }
        return *this;
    }
    Wide& operator-=(const Wide& b) // b <= *this
    {
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::int64_t t = std::int64_t(limb[i]) - b.limb[i] - borrow;
            limb[i] = std::uint32_t(t);
            borrow = t < 0;
        }
        return *this;
    }
    Wide half() const
    {
        Wide h;
        for (std::size_t i = 0; i < 4; ++i)
            h.limb[i] = limb[i] >> 1 | (i < 3 ? limb[i + 1] << 31 : 0);
        return h;
    }
    // The quotient, by shifting and subtracting; den is not 0.
    Wide over(const Wide& den) const
    {
        Wide q, rem;
        for (int n = 127; n >= 0; --n) {
            rem += rem;
            rem.limb[0] |= bit(n);
            if (!(rem < den)) {
                rem -= den;
                q.limb[std::size_t(n / 32)] |= 1u << (n % 32);
            }
        }
        return q;
    }
};

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
        return NamedNumber(raw);
    const std::uint32_t usage = f.Selected(raw);
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
        // In a POS scale's top-level collection, as Windows insists (a device's other collections
        // are keyboards, scanners, vendor pages).
        if (f.kind == HidField::Kind::Input && !f.isArray && f.usage == kWeight && f.application >> 16 == kScalePage) {
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
    ScaleFields fields;
    fields.weight = weight;
    fields.unit = namedValue(layout.unit, kUnit, unit);
    if (layout.status)
        fields.status = namedValue(*layout.status, kStatus, status);
    fields.scaling = scaling;
    fields.scalingBits = layout.scaling ? layout.scaling->bitSize : 0;
    return ScaleReportOf(fields, out, why);
}

int NamedNumber(std::int64_t value) { return value >= 0 && value <= 255 ? int(value) : 0; }

std::int64_t HidSigned(std::uint32_t raw, std::uint32_t bits, std::int32_t logicalMin)
{
    if (bits == 0 || bits > 32)
        return raw;
    const std::uint64_t value = bits == 32 ? raw : raw & ((std::uint64_t(1) << bits) - 1);
    const bool negative = logicalMin < 0 && (value >> (bits - 1)) & 1;
    return negative ? std::int64_t(value) - (std::int64_t(1) << bits) : std::int64_t(value);
}

bool ScaleReportOf(const ScaleFields& fields, ScaleReport& out, std::string& why)
{
    out.weight = fields.weight;
    out.unit = fields.unit;
    out.status = fields.status.value_or(0);
    // The scaling is a signed exponent whatever the logical range says: 0xff is -1.
    out.exponent = fields.scalingBits == 8 ? int(std::int8_t(fields.scaling)) : int(fields.scaling);
    if (out.unit < 1 || out.unit > kLastUnit)
        return why = "weight unit " + std::to_string(out.unit) + " is not a unit", false;
    if (fields.status && (out.status < 1 || out.status > kLastStatus))
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
    Wide num(weight < 0 ? 0 - std::uint64_t(weight) : std::uint64_t(weight)), den(1);
    bool ok = num.times(std::uint64_t(from.num)) && num.times(std::uint64_t(to.den)) && den.times(std::uint64_t(from.den)) &&
              den.times(std::uint64_t(to.num));
    for (int e = exponent + 3; ok && e > 0; --e) // thousandths: 10^(exponent + 3)
        ok = num.times(10);
    for (int e = exponent + 3; ok && e < 0; ++e)
        ok = den.times(10);
    if (!ok || !num.times(2) || !den.times(2))
        return std::nullopt;
    num += den.half(); // den is even: half of it is exact, and the magnitude rounds half away from zero
    const Wide magnitude = num.over(den);
    if (magnitude.limb[1] || magnitude.limb[2] || magnitude.limb[3] || magnitude.limb[0] > (weight < 0 ? 0x80000000u : 0x7FFFFFFFu))
        return std::nullopt;
    const std::int64_t rounded = weight < 0 ? -std::int64_t(magnitude.limb[0]) : std::int64_t(magnitude.limb[0]);
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
