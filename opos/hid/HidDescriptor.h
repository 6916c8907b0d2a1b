// A HID report descriptor read into its data fields: where each value sits in which report,
// and what its usage is. A pure function over the descriptor's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace opos {

// A usage with its page in the high 16 bits, as the descriptor's 4-byte usages write it.
constexpr std::uint32_t HidUsage(std::uint16_t page, std::uint16_t id) { return std::uint32_t(page) << 16 | id; }

struct HidField
{
    enum class Kind { Input, Output, Feature };
    Kind kind = Kind::Input;
    std::uint8_t reportId = 0;   // 0 when the descriptor numbers no reports
    std::uint32_t bitOffset = 0; // from the start of the report's data, after the id byte
    std::uint32_t bitSize = 0;
    bool isArray = false;        // the value selects a usage from usage..usageMax
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::uint32_t usage = 0;     // a variable's usage, or an array's first
    std::uint32_t usageMax = 0;  // an array's last usage
    // An array declared with separate Usage items rather than a range selects from them in the
    // order declared (its logical minimum the first); usage and usageMax are then their lowest
    // and highest. Shared by the fields of one main item.
    std::shared_ptr<const std::vector<std::uint32_t>> usageList;
    // The usage an array's value selects; 0 when it selects none.
    std::uint32_t Selected(std::int64_t value) const;
    std::uint32_t collection = 0; // usage of the innermost collection around it
    std::uint32_t application = 0; // usage of the top-level collection around it
};

struct HidDescriptor
{
    std::vector<HidField> fields; // padding (constant fields without a usage) left out
    bool numberedReports = false; // reports start with their id byte
    std::vector<std::uint32_t> applications; // usages of the top-level collections
};

// False, with why, for a descriptor that cannot be read (truncated item, unbalanced collections,
// runaway sizes).
bool ParseHidDescriptor(const std::uint8_t* data, std::size_t size, HidDescriptor& out, std::string& why);

// A field's value in a report (report id byte included when numbered), sign-extended when
// its logical minimum is negative; false when the report is too short or the field wider than 32 bits.
bool HidFieldValue(const HidField& field, bool numbered, const std::uint8_t* report, std::size_t size, std::int64_t& value);

// Writes value into the field's bits of a report (id byte first when numbered); false when the
// report is too short or the field wider than 32 bits.
bool HidSetFieldValue(const HidField& field, bool numbered, std::uint8_t* report, std::size_t size, std::uint32_t value);

}
