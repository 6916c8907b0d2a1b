// The USB HID POS scale's reports (usage page 0x8D): where the descriptor puts the scale data
// report's status, unit, scaling and weight, and the weight-limit feature report; what a report
// says; and its weight in thousandths of the unit OPOS reports. Pure functions over bytes.
#pragma once

#include "opos/hid/HidDescriptor.h"
#include "opos/ScaleDevice.h"

#include <optional>

namespace opos {

constexpr std::uint16_t kScalePage = 0x8D;

// The fields of one scale report; status is absent in the weight-limit report, scaling in some.
struct ScaleReportLayout
{
    std::uint8_t reportId = 0;
    bool numbered = false;
    HidField weight, unit;
    std::optional<HidField> status, scaling;
    std::size_t Size() const; // bytes, id included
};

struct HidScaleLayout
{
    ScaleReportLayout data;                       // input report (0x32)
    std::optional<ScaleReportLayout> weightLimit; // feature report (0x34)
    std::optional<HidField> zero;                 // Zero Scale (0x80), in an output or feature report
    std::size_t zeroReportSize = 0;               // bytes, id included
};

// The report that asks the scale to zero itself; empty when the layout has no zero control.
std::vector<std::uint8_t> ZeroScaleReport(const HidScaleLayout& layout, bool numbered);

// False, with why, when the descriptor has no scale data report with status, unit and weight in
// a top-level collection of the scale page.
bool FindScaleLayout(const HidDescriptor& descriptor, HidScaleLayout& layout, std::string& why);

// A report's values as the scale sends them.
struct ScaleReport
{
    int status = 0;        // 1 fault ... 8 requires re-zeroing; 0 in a weight-limit report
    int unit = 0;          // 1 mg, 2 g, 3 kg, 4 ct, ..., 11 oz, 12 lb
    int exponent = 0;      // the weight is weight * 10^exponent units
    std::int64_t weight = 0;
};

// A report's fields as read, before what they say is checked: taken from the report's bytes by
// the descriptor's layout (DecodeScaleReport), or from the HID API's usage values on Windows.
struct ScaleFields
{
    std::optional<int> status; // the named status' number (0: none selected); absent in a weight-limit report
    int unit = 0;              // the named unit's number (0: none selected)
    std::int64_t scaling = 0;  // as read, sign-extended when its logical minimum is negative
    std::uint32_t scalingBits = 0; // 0 when the report has no scaling
    std::int64_t weight = 0;
};

// A named value's number: a plain variable's value, 0 when it cannot be one.
int NamedNumber(std::int64_t value);
// A value of bits bits, sign-extended when its logical minimum is negative.
std::int64_t HidSigned(std::uint32_t raw, std::uint32_t bits, std::int32_t logicalMin);

// False, with why, for fields that say nothing valid (a status or unit of 0 or out of range).
bool ScaleReportOf(const ScaleFields& fields, ScaleReport& out, std::string& why);

// False, with why, for a report that is not the layout's, too short, or says nothing valid
// (ScaleReportOf).
bool DecodeScaleReport(const ScaleReportLayout& layout, const std::uint8_t* report, std::size_t size,
                       ScaleReport& out, std::string& why);

// The OPOS unit (SCAL_WU_*) a HID unit is shown in: grams for all but kg, oz and lb.
LONG OposUnit(int hidUnit);

// weight * 10^exponent of hidUnit in thousandths of oposUnit, rounded half away from zero;
// nullopt when it does not fit in 32 bits.
std::optional<LONG> Thousandths(std::int64_t weight, int exponent, int hidUnit, LONG oposUnit);

// The reading a decoded data report gives, in OposUnit(report.unit); nullopt when out of range.
std::optional<ScaleReading> ReadingOf(const ScaleReport& report);

}
