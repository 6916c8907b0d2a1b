#include "opos/hid/HidDescriptor.h"

#include <algorithm>
#include <climits>

namespace opos {

namespace {
constexpr std::size_t kMaxFields = 4096;      // more than any real device declares
constexpr std::uint32_t kMaxReportBits = 1u << 19;
constexpr std::size_t kMaxDepth = 32;          // collections and pushed globals

struct Globals
{
    std::uint16_t usagePage = 0;
    std::int32_t logicalMin = 0, logicalMax = 0;
    std::uint32_t logicalMaxBits = 0; // the maximum read unsigned
    std::uint32_t reportSize = 0, reportCount = 0;
    std::uint8_t reportId = 0;
};

struct Locals
{
    std::vector<std::uint32_t> usages;
    std::uint32_t usageMin = 0, usageMax = 0;
    bool hasRange = false;
};

// Item data as unsigned and as signed (sign-extended from its own size).
std::uint32_t unsignedData(const std::uint8_t* p, int size)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= std::uint32_t(p[i]) << (8 * i);
    return value;
}

std::int32_t signedData(const std::uint8_t* p, int size)
{
    const std::uint32_t value = unsignedData(p, size);
    if (size == 1)
        return std::int8_t(value);
    if (size == 2)
        return std::int16_t(value);
    return std::int32_t(value);
}

class Parser
{
public:
    Parser(HidDescriptor& out, std::string& why) : m_out(out), m_why(why) {}
    bool Item(int type, int tag, const std::uint8_t* data, int size);
    bool Finish();

private:
    bool Fail(const std::string& why) { m_why = why; return false; }
    bool Global(int tag, const std::uint8_t* data, int size);
    void Local(int tag, const std::uint8_t* data, int size);
    bool Main(int tag, std::uint32_t flags);
    bool AddFields(HidField::Kind kind, std::uint32_t flags);
    std::uint32_t FullUsage(std::uint32_t value, int size) const
    {
        return size == 4 ? value : HidUsage(m_globals.usagePage, std::uint16_t(value));
    }
    std::uint32_t& Offset(HidField::Kind kind) { return m_offsets[{int(kind), m_globals.reportId}]; }

    HidDescriptor& m_out;
    std::string& m_why;
    Globals m_globals;
    std::vector<Globals> m_pushed;
    Locals m_locals;
    std::vector<std::uint32_t> m_collections;
    struct OffsetMap
    {
        std::vector<std::pair<std::pair<int, std::uint8_t>, std::uint32_t>> entries;
        std::uint32_t& operator[](std::pair<int, std::uint8_t> key)
        {
            for (auto& entry : entries)
                if (entry.first == key)
                    return entry.second;
            return entries.emplace_back(key, 0).second;
        }
    } m_offsets;
};

bool Parser::Item(int type, int tag, const std::uint8_t* data, int size)
{
    switch (type) {
    case 0: return Main(tag, unsignedData(data, size));
    case 1: return Global(tag, data, size);
    case 2: Local(tag, data, size); return true;
    default: return true; // reserved item type: skipped
    }
}

bool Parser::Global(int tag, const std::uint8_t* data, int size)
{
    switch (tag) {
    case 0: m_globals.usagePage = std::uint16_t(unsignedData(data, size)); break;
    case 1: m_globals.logicalMin = signedData(data, size); break;
    case 2:
        m_globals.logicalMax = signedData(data, size);
        m_globals.logicalMaxBits = unsignedData(data, size);
        break;
    case 7: m_globals.reportSize = unsignedData(data, size); break;
    case 8:
        m_globals.reportId = std::uint8_t(unsignedData(data, size));
        if (m_globals.reportId == 0)
            return Fail("report id 0 is reserved");
        m_out.numberedReports = true;
        break;
    case 9: m_globals.reportCount = unsignedData(data, size); break;
    case 10:
        if (m_pushed.size() >= kMaxDepth)
            return Fail("globals pushed too deep");
        m_pushed.push_back(m_globals);
        break;
    case 11:
        if (m_pushed.empty())
            return Fail("pop without push");
        m_globals = m_pushed.back();
        m_pushed.pop_back();
        break;
    default: break; // physical range, unit: not needed to find a value
    }
    return true;
}

void Parser::Local(int tag, const std::uint8_t* data, int size)
{
    const std::uint32_t usage = FullUsage(unsignedData(data, size), size);
    if (tag == 0 && m_locals.usages.size() < kMaxFields)
        m_locals.usages.push_back(usage);
    else if (tag == 1)
        m_locals.usageMin = usage, m_locals.hasRange = true;
    else if (tag == 2)
        m_locals.usageMax = usage, m_locals.hasRange = true;
}

bool Parser::Main(int tag, std::uint32_t flags)
{
    bool ok = true;
    switch (tag) {
    case 8: ok = AddFields(HidField::Kind::Input, flags); break;
    case 9: ok = AddFields(HidField::Kind::Output, flags); break;
    case 11: ok = AddFields(HidField::Kind::Feature, flags); break;
    case 10: {
        if (m_collections.size() >= kMaxDepth)
            return Fail("collections nested too deep");
        const std::uint32_t usage = m_locals.usages.empty() ? (m_locals.hasRange ? m_locals.usageMin : 0) : m_locals.usages.front();
        if (m_collections.empty())
            m_out.applications.push_back(usage);
        m_collections.push_back(usage);
        break;
    }
    case 12:
        if (m_collections.empty())
            return Fail("end of a collection that was never begun");
        m_collections.pop_back();
        break;
    default: break;
    }
    m_locals = {};
    return ok;
}

bool Parser::AddFields(HidField::Kind kind, std::uint32_t flags)
{
    const Globals& g = m_globals;
    std::uint32_t& offset = Offset(kind);
    if (g.reportSize > 256 || g.reportCount > kMaxFields || offset + std::uint64_t(g.reportSize) * g.reportCount > kMaxReportBits)
        return Fail("a report is larger than any device sends");
    // Only a field without a usage is padding: a constant field with one is read-only data, as
    // a scale's weight limit is.
    const bool padding = (flags & 1) && m_locals.usages.empty() && !m_locals.hasRange, isArray = !(flags & 2);
    HidField field;
    field.kind = kind;
    field.reportId = g.reportId;
    field.bitSize = g.reportSize;
    field.isArray = isArray;
    field.logicalMin = g.logicalMin;
    // A maximum that reads negative above a non-negative minimum was meant unsigned.
    field.logicalMax = g.logicalMax < g.logicalMin && g.logicalMin >= 0
                           ? std::int32_t(std::min<std::uint32_t>(g.logicalMaxBits, INT32_MAX))
                           : g.logicalMax;
    field.collection = m_collections.empty() ? 0 : m_collections.back();
    field.application = m_collections.empty() ? 0 : m_collections.front();
    const auto& usages = m_locals.usages;
    if (isArray && !m_locals.hasRange && !usages.empty())
        field.usageList = std::make_shared<const std::vector<std::uint32_t>>(usages);
    for (std::uint32_t i = 0; i < g.reportCount; ++i, offset += g.reportSize) {
        if (padding || m_out.fields.size() >= kMaxFields)
            continue;
        field.bitOffset = offset;
        if (isArray) {
            field.usage = m_locals.hasRange ? m_locals.usageMin : usages.empty() ? 0 : *std::min_element(usages.begin(), usages.end());
            field.usageMax = m_locals.hasRange ? m_locals.usageMax : usages.empty() ? 0 : *std::max_element(usages.begin(), usages.end());
        } else if (!usages.empty()) {
            field.usage = field.usageMax = usages[std::min<std::size_t>(i, usages.size() - 1)];
        } else if (m_locals.hasRange) {
            field.usage = field.usageMax = std::min(m_locals.usageMin + i, m_locals.usageMax);
        } else {
            field.usage = field.usageMax = 0;
        }
        m_out.fields.push_back(field);
    }
    return true;
}

bool Parser::Finish()
{
    if (!m_collections.empty())
        return Fail("a collection is never closed");
    return true;
}
}

std::uint32_t HidField::Selected(std::int64_t value) const
{
    if (value < logicalMin || value > logicalMax)
        return 0;
    const std::uint64_t index = std::uint64_t(value - logicalMin);
    if (usageList)
        return index < usageList->size() ? (*usageList)[index] : 0;
    return usageMax >= usage && index <= usageMax - usage ? usage + std::uint32_t(index) : 0;
}

bool ParseHidDescriptor(const std::uint8_t* data, std::size_t size, HidDescriptor& out, std::string& why)
{
    out = {};
    Parser parser(out, why);
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t prefix = data[i];
        if (prefix == 0xFE) { // long item: size, tag, data; no long items are defined
            if (i + 2 >= size || i + 3 + data[i + 1] > size)
                return why = "a long item runs past the end", false;
            i += 3 + data[i + 1];
            continue;
        }
        const int itemSize = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (i + 1 + itemSize > size)
            return why = "the last item runs past the end", false;
        if (!parser.Item((prefix >> 2) & 3, prefix >> 4, data + i + 1, itemSize))
            return false;
        i += 1 + itemSize;
    }
    return parser.Finish();
}

bool HidFieldValue(const HidField& field, bool numbered, const std::uint8_t* report, std::size_t size, std::int64_t& value)
{
    const std::size_t start = numbered ? 1 : 0;
    if (field.bitSize == 0 || field.bitSize > 32 || (std::uint64_t(field.bitOffset) + field.bitSize + 7) / 8 + start > size)
        return false;
    std::uint64_t bits = 0;
    for (std::uint32_t b = 0; b < field.bitSize; ++b) {
        const std::uint32_t at = field.bitOffset + b;
        bits |= std::uint64_t((report[start + at / 8] >> (at % 8)) & 1) << b;
    }
    const bool negative = field.logicalMin < 0 && (bits >> (field.bitSize - 1)) & 1;
    value = negative ? std::int64_t(bits) - (std::int64_t(1) << field.bitSize) : std::int64_t(bits);
    return true;
}

bool HidSetFieldValue(const HidField& field, bool numbered, std::uint8_t* report, std::size_t size, std::uint32_t value)
{
    const std::size_t start = numbered ? 1 : 0;
    if (field.bitSize == 0 || field.bitSize > 32 || (std::uint64_t(field.bitOffset) + field.bitSize + 7) / 8 + start > size)
        return false;
    for (std::uint32_t b = 0; b < field.bitSize; ++b) {
        const std::uint32_t at = field.bitOffset + b;
        const std::uint8_t mask = std::uint8_t(1u << (at % 8));
        std::uint8_t& byte = report[start + at / 8];
        byte = (value >> b) & 1 ? byte | mask : byte & ~mask;
    }
    return true;
}

}
