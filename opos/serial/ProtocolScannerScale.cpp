// The scale half of a checkout scanner-scale on its serial cable. Each message is the prefix
// "S", a command number and data, then the terminator (CR unless programmed otherwise). The
// weight request S11 is answered only with a stable weight; the scale monitor S14 answers at
// once with a status digit: 0 no zero found, 1 unstable, 2 over capacity, 3 stable at zero,
// 4 and a stable weight, 5 under zero. Weights carry no decimal point: four digits are
// hundredths of a pound, five are thousandths of a kilogram.
#include "opos/serial/ProtocolParsers.h"

#include "opos/ResultCodes.h"

#include <algorithm>

namespace opos::serial {

namespace {
using namespace parsing;

std::optional<Frame> weight(std::string_view digits)
{
    if ((digits.size() != 4 && digits.size() != 5) || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const LONG value = *ParseThousandths(digits);
    return digits.size() == 4 ? Reading(value / 100, SCAL_WU_POUND, true) : Reading(value / 1000, SCAL_WU_KILOGRAM, true);
}

std::optional<Frame> scaleMessage(std::string_view line)
{
    if (line.starts_with("S11"))
        return weight(line.substr(3));
    if (!line.starts_with("S14") || line.size() < 4)
        return std::nullopt;
    const std::string_view rest = line.substr(4);
    switch (line[3]) {
    case '4': return weight(rest);
    case '0': return rest.empty() ? std::optional(Kind(FrameKind::Fault, "the scale cannot find its zero: switch it off and on, or calibrate it")) : std::nullopt;
    case '1': return rest.empty() ? std::optional(Kind(FrameKind::Motion)) : std::nullopt;
    case '2': return rest.empty() ? std::optional(Kind(FrameKind::OverCapacity)) : std::nullopt;
    case '3': return rest.empty() ? std::optional(Reading(0, 0, true)) : std::nullopt;
    case '5': return rest.empty() ? std::optional(Kind(FrameKind::UnderZero)) : std::nullopt;
    }
    return std::nullopt;
}
}

Parsed ParseScannerScale(std::string_view bytes)
{
    const std::size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos)
        return {bytes.size() > kMaxLine ? bytes.size() : 0u, {}};
    // Noise or a message cut short may stand before the scale's message on the same line; only
    // the line's end can hold one.
    const std::string_view line = bytes.substr(end > kMaxLine ? end - kMaxLine : 0, std::min(end, kMaxLine));
    for (std::size_t at = line.find("S1"); at != std::string_view::npos; at = line.find("S1", at + 1))
        if (std::optional<Frame> frame = scaleMessage(line.substr(at)))
            return {end + 1, std::move(frame)};
    // Blank lines, and the scanner half's own messages (S0...), are not the scale's business.
    if (line.empty() || line.starts_with("S0"))
        return {end + 1, {}};
    return {end + 1, Malformed()};
}

}
