// MT-SICS: the host sends "SI CR LF" (the weight at once) or "I2 CR LF" (model and capacity);
// every answer is one line ending CR LF: the command, a status, and its values.
#include "opos/serial/ProtocolParsers.h"

#include <algorithm>
#include <array>

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char LF = 0x0a, CR = 0x0d;

std::optional<Frame> sicsIdentity(std::string_view rest)
{
    // I2 A "<model> <capacity> <unit>"
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"')
        return std::nullopt;
    const std::string_view text = Trim(rest.substr(1, rest.size() - 2));
    const std::size_t unitAt = text.rfind(' ');
    if (unitAt == std::string_view::npos)
        return std::nullopt;
    const std::string_view head = Trim(text.substr(0, unitAt));
    const std::size_t capacityAt = head.rfind(' ');
    const std::optional<LONG> capacity = ParseThousandths(head.substr(capacityAt + 1));
    const LONG unit = ParseUnit(text.substr(unitAt + 1));
    if (!capacity || unit == 0)
        return std::nullopt;
    const std::string model(capacityAt == std::string_view::npos ? "" : Trim(head.substr(0, capacityAt)));
    return Frame{FrameKind::Identity, 0, unit, *capacity, model, {}};
}

// The first word, and what follows it with the spaces between taken off.
std::pair<std::string_view, std::string_view> word(std::string_view s)
{
    const std::size_t end = std::min(s.find(' '), s.size());
    return {s.substr(0, end), Trim(s.substr(end))};
}

std::optional<Frame> sicsLine(std::string_view line)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> errors{{
        {"ES", "the scale did not understand the request"},
        {"ET", "the scale reports a transmission error"},
        {"EL", "the scale cannot carry out the request"},
    }};
    line = Trim(line);
    for (const auto& [code, why] : errors)
        if (line == code)
            return Kind(FrameKind::Error, std::string(why));
    const auto [command, afterCommand] = word(line);
    const auto [status, rest] = word(afterCommand);
    if (command == "I2") {
        if (status == "A")
            return sicsIdentity(rest);
        if (status == "I" && rest.empty())
            return Kind(FrameKind::NotReady);
        return std::nullopt;
    }
    if (command != "S" && command != "SI")
        return std::nullopt;
    if (rest.empty()) {
        static constexpr std::array<std::pair<std::string_view, FrameKind>, 3> bare{{
            {"+", FrameKind::OverCapacity}, {"-", FrameKind::UnderZero}, {"I", FrameKind::NotReady}}};
        for (const auto& [code, kind] : bare)
            if (status == code)
                return Kind(kind);
        return std::nullopt;
    }
    if (status != "S" && status != "D")
        return std::nullopt;
    // The unit is the last word: some balances set the sign apart from the digits.
    const std::size_t unitAt = rest.rfind(' ');
    if (unitAt == std::string_view::npos)
        return std::nullopt;
    const std::optional<LONG> weight = ParseThousandths(rest.substr(0, unitAt));
    const LONG unit = ParseUnit(rest.substr(unitAt + 1));
    // A unit the control cannot report (carats, troy ounces...) is left to the technician to see.
    if (!weight || unit == 0)
        return std::nullopt;
    return Reading(*weight, unit, status == "S");
}

}

Parsed ParseSics(std::string_view bytes)
{
    const std::size_t end = bytes.find(LF);
    if (end == std::string_view::npos)
        return {bytes.size() > kMaxLine ? bytes.size() : 0u, {}};
    std::string_view line = bytes.substr(0, end);
    if (!line.empty() && line.back() == CR)
        line.remove_suffix(1);
    // Noise or the rest of an answer cut short may stand before the answer on the same line.
    for (std::size_t at = 0; at < line.size(); ++at)
        if (at == 0 || line[at] == 'S' || line[at] == 'E' || line[at] == 'I')
            if (std::optional<Frame> parsed = sicsLine(line.substr(at)))
                return {end + 1, std::move(parsed)};
    return {end + 1, Trim(line).empty() ? std::nullopt : std::optional(Malformed())};
}

}
