// The comma-separated lines many indicators send several times a second: a stability header
// (ST stable, US unstable, OL overload, UL underload), an optional second header (gross or net,
// tare, or a checkweigher's comparison result HI, OK, LO or "--", which says nothing of the
// weight's kind), the signed weight and its unit, either joined ("+0001.250kg") or as a field of
// their own, ended by CR, LF or both. Lines of tare, totals or counts are passed over: they are
// not the load. The 22-byte form of some indicators puts a device number and a lamp byte between
// the second header and the weight, at fixed places.
#include "opos/serial/ProtocolParsers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace opos::serial {

namespace {
using namespace parsing;

enum class Line { Frame, Skip, Bad };
struct Result
{
    Line line;
    Frame frame = Malformed();
};

bool isHeader(std::string_view s) { return s == "ST" || s == "US" || s == "OL" || s == "UL"; }

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    for (std::size_t comma; (comma = line.find(',')) != std::string_view::npos; line.remove_prefix(comma + 1))
        out.push_back(Trim(line.substr(0, comma)));
    out.push_back(Trim(line));
    return out;
}

// "+   1.250" or "-0012.346": spaces may stand between the sign and the digits.
std::optional<LONG> number(std::string_view text)
{
    std::string joined;
    for (char c : text)
        if (c != ' ')
            joined += c;
    return joined.empty() ? std::nullopt : ParseThousandths(joined);
}

// "ST,GS,<device><lamp>,<weight 8><blank or relay byte><unit 2>": the header, the second header,
// a device number and a lamp byte whose top bit is always set (gone once the parity bit is
// stripped, so it may read as any character, a comma included), and the weight at a fixed place.
// The bytes between the headers and the weight are told by where they stand, never by what they hold.
std::optional<std::string> withoutDeviceBytes(std::string_view line)
{
    static constexpr std::array<std::string_view, 2> kinds{"GS", "NT"};
    if (line.size() != 20 || line[2] != ',' || line[5] != ',' || line[8] != ',' ||
        std::find(kinds.begin(), kinds.end(), line.substr(3, 2)) == kinds.end())
        return std::nullopt;
    return std::string(line.substr(0, 6)) + std::string(line.substr(9, 8)) + "," + std::string(line.substr(18, 2));
}

Result textLine(std::string_view line)
{
    const std::optional<std::string> fixed = withoutDeviceBytes(line);
    std::vector<std::string_view> f = fields(fixed ? std::string_view(*fixed) : line);
    const std::string_view header = f.front();
    f.erase(f.begin());
    if (!f.empty()) {
        // The second field's documented meanings: the weight's kind, or a comparison result.
        static constexpr std::array<std::string_view, 8> weights{"GS", "NT", "G", "N", "HI", "OK", "LO", "--"};
        static constexpr std::array<std::string_view, 7> others{"TR", "T", "PT", "TW", "TN", "QT", "PC"};
        if (std::find(others.begin(), others.end(), f.front()) != others.end())
            return {Line::Skip};
        if (std::find(weights.begin(), weights.end(), f.front()) != weights.end())
            f.erase(f.begin());
    }
    if (header == "OL")
        return {Line::Frame, Kind(FrameKind::OverCapacity)};
    if (header == "UL")
        return {Line::Frame, Kind(FrameKind::UnderZero)};
    if (f.empty() || f.size() > 2)
        return {Line::Bad};
    std::string_view value = f[0], unitText = f.size() == 2 ? f[1] : std::string_view{};
    if (f.size() == 1) {
        std::size_t unitAt = value.size();
        while (unitAt > 0 && std::isalpha(static_cast<unsigned char>(value[unitAt - 1])))
            --unitAt;
        unitText = value.substr(unitAt);
        value = value.substr(0, unitAt);
    }
    const std::optional<LONG> weight = number(value);
    if (!weight)
        return {Line::Bad};
    const LONG unit = ParseUnit(unitText);
    if (unit == 0 && !Trim(unitText).empty())
        return {Line::Frame, UnknownUnit(Trim(unitText))};
    return {Line::Frame, Reading(*weight, unit, header == "ST")};
}
}

Parsed ParseTextStream(std::string_view bytes)
{
    const std::size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos)
        return {bytes.size() > kMaxLine ? bytes.size() : 0u, {}};
    // Noise, an RS-485 address or the start of a line cut short may stand before the header; a
    // frame is never longer than kMaxLine, so only the line's end can hold one.
    const std::string_view line = bytes.substr(end > kMaxLine ? end - kMaxLine : 0, std::min(end, kMaxLine));
    bool headed = false;
    for (std::size_t at = 0; at + 2 <= line.size(); ++at) {
        if (!isHeader(line.substr(at, 2)) || (at + 2 < line.size() && line[at + 2] != ','))
            continue;
        headed = true;
        Result result = textLine(line.substr(at));
        if (result.line == Line::Frame)
            return {end + 1, std::move(result.frame)};
        if (result.line == Line::Skip)
            return {end + 1, {}};
    }
    // A line without a header is the tail of one cut when the input was flushed, or a blank line.
    return {end + 1, headed ? std::optional(Malformed()) : std::nullopt};
}

}
