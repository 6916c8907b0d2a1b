// NCI SCP-01/02: the host sends "W CR"; the scale answers LF, the weight and its unit, CR, LF,
// its status bytes, CR, ETX; in motion or when it has no weight, possibly only LF, the status
// bytes, CR, ETX. "?" in the place of the status: the request was not understood.
#include "opos/serial/ProtocolParsers.h"

#include "opos/ResultCodes.h"

#include <algorithm>
#include <cstdint>
#include <climits>

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char ETX = 0x03, LF = 0x0a, CR = 0x0d;

// "  1lb  4.5oz": a pound-and-ounce display, in ounces.
std::optional<LONG> poundsAndOunces(std::string_view line)
{
    const std::string text = Lower(line);
    const std::size_t lb = text.find("lb");
    if (lb == std::string::npos || !text.ends_with("oz"))
        return std::nullopt;
    const std::optional<LONG> pounds = ParseThousandths(line.substr(0, lb));
    const std::optional<LONG> ounces = ParseThousandths(line.substr(lb + 2, line.size() - lb - 4));
    if (!pounds || !ounces || *ounces < 0)
        return std::nullopt;
    const std::int64_t total = std::int64_t(*pounds) * 16 + (*pounds < 0 ? -*ounces : *ounces);
    if (total < INT32_MIN || total > INT32_MAX)
        return std::nullopt;
    return LONG(total);
}

// "0001.50LB", " 1250g ", "  1lb  4.5oz", "^^^^^^LB": the weight line.
std::optional<Frame> nciWeight(std::string_view line, bool stable)
{
    if (const std::optional<LONG> ounces = poundsAndOunces(line))
        return Reading(*ounces, SCAL_WU_OUNCE, stable);
    const auto [number, letters] = NumberAndLetters(line);
    const LONG unit = ParseUnit(letters);
    if (number.empty() || (!letters.empty() && unit == 0))
        return std::nullopt;
    // A display that cannot show a weight fills the field with one character.
    static constexpr struct { const char* fill; FrameKind kind; const char* why; } runs[] = {
        {"^ ", FrameKind::OverCapacity, ""},
        {"_ ", FrameKind::UnderZero, ""},
        {"- ", FrameKind::Fault, "the scale shows a zero-point error: re-zero it"},
    };
    for (const auto& run : runs)
        if (number.find_first_not_of(run.fill) == std::string_view::npos)
            return Kind(run.kind, run.why);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight)
        return std::nullopt;
    return Reading(*weight, unit, stable);
}

// Two to four status bytes, bits 4 and 5 set in each. Bit 6 is "always 0", "always 1" or
// "another byte follows" depending on the manual, so it is not looked at.
std::optional<Frame> nciFrame(std::string_view status, std::optional<std::string_view> weightLine)
{
    if (status == "?")
        return Kind(FrameKind::Error, "the scale did not understand the request");
    if (!status.empty() && status[0] == 'S')
        status.remove_prefix(1);
    if (status.size() < 2 || status.size() > 4 ||
        std::any_of(status.begin(), status.end(), [](char c) { return (c & 0x30) != 0x30; }))
        return std::nullopt;
    const auto bits = [&](std::size_t byte) { return byte < status.size() ? status[byte] & 0x0f : 0; };
    static constexpr struct { std::size_t byte; int bit; const char* why; } faults[] = {
        {0, 0x04, "a RAM error"}, {0, 0x08, "an EEPROM error"}, {1, 0x04, "a ROM error"},
        {1, 0x08, "a faulty calibration"}, {2, 0x08, "an initial zero error"},
    };
    for (const auto& fault : faults)
        if (bits(fault.byte) & fault.bit)
            return Kind(FrameKind::Fault, std::string("the scale reports ") + fault.why);
    if (bits(1) & 0x02)
        return Kind(FrameKind::OverCapacity);
    if (bits(1) & 0x01)
        return Kind(FrameKind::UnderZero);
    const bool motion = bits(0) & 0x01, zero = bits(0) & 0x02;
    if (weightLine)
        return nciWeight(*weightLine, !motion);
    if (motion)
        return Kind(FrameKind::Motion);
    return zero ? Reading(0, 0, true) : Kind(FrameKind::NotReady);
}

}

Parsed ParseNci(std::string_view bytes)
{
    const std::size_t etx = bytes.find(ETX);
    if (etx == std::string_view::npos) {
        const std::size_t lf = bytes.find(LF);
        if (lf == std::string_view::npos)
            return {bytes.size(), {}};
        return {lf > 0 ? lf : (bytes.size() > kMaxLine ? 1u : 0u), {}};
    }
    // Read back from the end, so noise or a frame cut short before it cannot join in.
    const std::string_view all = bytes.substr(0, etx);
    const Parsed broken{etx + 1, Malformed()};
    if (all.empty() || all.back() != CR)
        return broken;
    const std::size_t statusAt = all.rfind(LF);
    if (statusAt == std::string_view::npos)
        return broken;
    const std::string_view status = all.substr(statusAt + 1, all.size() - statusAt - 2);
    std::optional<std::string_view> weightLine;
    if (statusAt > 0 && all[statusAt - 1] == CR) {
        const std::size_t weightAt = all.rfind(LF, statusAt - 1);
        if (weightAt != std::string_view::npos)
            weightLine = all.substr(weightAt + 1, statusAt - 1 - weightAt - 1);
    }
    const std::optional<Frame> parsed = nciFrame(status, weightLine);
    return parsed ? Parsed{etx + 1, parsed} : broken;
}

}
