// SMA SCP-0499 (the Scale Manufacturers Association's standard serial protocol), levels 1 and
// 2: every answer is LF, then five status characters (status, range, gross/net, motion, one
// reserved), the weight in a field of ten (some indicators eleven), a unit of three, and CR;
// "?" and "!" alone are its error answers.
#include "opos/serial/ProtocolParsers.h"

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char LF = 0x0a, CR = 0x0d;

Frame smaAnswer(std::string_view body)
{
    if (body == "?")
        return Kind(FrameKind::Error, "the scale did not recognise the command");
    if (body == "!")
        return Kind(FrameKind::Error, "transmission error: the scale received the command garbled");
    // Five status characters, at least one of weight, three of unit.
    if (body.size() < 9)
        return Malformed();
    const char status = body[0], range = body[1], mode = body[2], motion = body[3];
    if (range < '0' || range > '9' || std::string_view("GNgnT").find(mode) == std::string_view::npos ||
        (motion != 'M' && motion != ' '))
        return Malformed();
    switch (status) {
    case 'O': return Kind(FrameKind::OverCapacity);
    case 'U': return Kind(FrameKind::UnderZero);
    case 'E': return Kind(FrameKind::Fault, "zero error: the scale could not set its zero");
    case 'I': return Kind(FrameKind::Fault, "initial zero error: the scale found no zero at power-up");
    case 'T': return Kind(FrameKind::Fault, "tare error");
    case 'e': return Kind(FrameKind::NotReady, "the weight is not on display");
    case 'Z': case ' ': break;
    default: return Malformed();
    }
    if (mode == 'T') // the tare, answering a tare request: not the load
        return Kind(FrameKind::Error, "the scale answered with its tare, not a weight");
    const std::optional<LONG> weight = ParseThousandths(body.substr(5, body.size() - 8));
    const std::string_view unitText = Trim(body.substr(body.size() - 3));
    if (!weight)
        return Malformed();
    const LONG unit = ParseUnit(unitText);
    if (unit == 0 && !unitText.empty())
        return UnknownUnit(unitText);
    return Reading(*weight, unit, motion != 'M');
}
}

Parsed ParseSma(std::string_view bytes)
{
    const std::size_t start = bytes.find(LF);
    if (start == std::string_view::npos)
        return {bytes.size(), {}};
    if (start > 0)
        return {start, {}};
    const std::size_t cr = bytes.find(CR, 1);
    const std::size_t restart = bytes.find(LF, 1);
    if (restart < cr) // cut short by the next answer
        return {restart, {}};
    if (cr == std::string_view::npos)
        return {bytes.size() > kMaxLine ? 1u : 0u, {}};
    return {cr + 1, smaAnswer(bytes.substr(1, cr - 1))};
}

}
