// Toledo 8213 demand mode: the host sends "W", the scale answers STX, the weight with its
// decimal point, CR; or, when it has no weight to give, STX, '?', a status byte, CR.
#include "opos/serial/ProtocolParsers.h"

#include <algorithm>
#include <array>

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char STX = 0x02, CR = 0x0d;

// Letters some indicators put after the weight to say it is net or gross: either is the weight shown.
bool isWeightMarker(std::string_view letters)
{
    static constexpr std::array<std::string_view, 5> markers{"n", "g", "nt", "gr", "gs"};
    return std::find(markers.begin(), markers.end(), Lower(letters)) != markers.end();
}

Frame toledoStatus(char status)
{
    // Bits 5 and 6 are always set; some hosts read bit 5 as data, so only the low five count.
    const int bits = status & 0x1f;
    if (bits & 0x02)
        return Kind(FrameKind::OverCapacity);
    if (bits & 0x04)
        return Kind(FrameKind::UnderZero);
    if (bits & 0x01)
        return Kind(FrameKind::Motion);
    if (bits & 0x08)
        return Kind(FrameKind::Fault, "outside the zero capture range: re-zero the scale");
    if (bits & 0x10)
        return Reading(0, 0, true);
    return Kind(FrameKind::Fault, "no valid weight, no reason given");
}

// "001.25", "001234" (whole grams, the leading zero kept), "001.25N" (net, as a tare leaves it).
// Digits with a blank among them ("0 1250") are no number.
std::optional<Frame> toledoBody(std::string_view body)
{
    if (body.size() == 2 && body[0] == '?')
        return toledoStatus(body[1]);
    const auto [number, letters] = NumberAndLetters(body);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight || (!letters.empty() && !isWeightMarker(letters)))
        return std::nullopt;
    return Reading(*weight, 0, true);
}
}

Parsed ParseToledo(std::string_view bytes)
{
    const std::size_t start = bytes.find(STX);
    if (start == std::string_view::npos)
        return {bytes.size(), {}};
    if (start > 0)
        return {start, {}};
    const std::size_t end = bytes.find(CR);
    const std::size_t restart = bytes.find(STX, 1);
    if (restart < end) // cut short: the next frame began before this one ended
        return {restart, {}};
    if (end == std::string_view::npos)
        return {bytes.size() > kMaxLine ? 1u : 0u, {}};
    const std::optional<Frame> parsed = toledoBody(bytes.substr(1, end - 1));
    return {end + 1, parsed ? *parsed : Malformed()};
}

}
