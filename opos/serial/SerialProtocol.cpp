#include "SerialProtocol.h"

#include "ProtocolParsers.h"

#include "ResultCodes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace opos::serial {

namespace {
constexpr char STX = 0x02, ETX = 0x03, LF = 0x0a, CR = 0x0d;

// No answer of any of the protocols is longer; a longer run without an end is noise.
constexpr std::size_t kMaxFrame = 64;

constexpr std::array<ProtocolInfo, 9> kProtocols{{
    {Protocol::Toledo, "toledo", "Toledo 8213", "W", "", 9600, {7, 'E', 1}},
    {Protocol::Nci, "nci", "NCI SCP-01/02", "W\r", "", 9600, {7, 'E', 1}},
    // SI answers at once, in motion or not, so a waiting read sees the load move.
    {Protocol::Sics, "sics", "MT-SICS", "SI\r\n", "I2\r\n", 9600, {8, 'N', 1}},
    // The checked form first, so that a probe listening to a scale that sends the check
    // character names the protocol that verifies it.
    {Protocol::ToledoContinuousChecked, "toledo-continuous-checksum", "Toledo continuous output (checked)", "", "", 9600,
     {7, 'E', 1}, ParseToledoContinuousChecked, true, 1000},
    {Protocol::ToledoContinuous, "toledo-continuous", "Toledo continuous output", "", "", 9600, {7, 'E', 1},
     ParseToledoContinuous, true, 1000},
    {Protocol::TextStream, "text-stream", "Comma-separated text stream", "", "", 9600, {8, 'N', 1},
     ParseTextStream, true, 1000},
    {Protocol::Sma, "sma", "SMA SCP-0499", "\nW\r", "", 9600, {8, 'N', 1}, ParseSma, false, 0, "", "\nZ\r"},
    // The scale monitor answers at once in every state; the weight request S11 waits for a stable one.
    {Protocol::ScannerScale, "scanner-scale", "Checkout scanner-scale", "S14\r", "", 9600, {7, 'O', 1}, ParseScannerScale},
    {Protocol::EnqDc1, "enq-dc1", "ENQ/DC1 counter scale", "\x05", "", 9600, {8, 'N', 1}, ParseEnqDc1, false, 0, "\x11"},
}};

std::string_view trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

Frame frame(FrameKind kind, std::string text = {}) { return Frame{kind, 0, 0, 0, std::move(text)}; }

Frame malformed() { return frame(FrameKind::Error, "malformed answer"); }

// A stable weight frame; a negative stable weight is a load below zero.
Frame weightFrame(LONG weight, LONG unit, bool stable = true)
{
    if (stable && weight < 0)
        return frame(FrameKind::UnderZero);
    return Frame{stable ? FrameKind::Weight : FrameKind::Motion, weight, unit, 0, {}};
}

// ---- Toledo: STX weight CR, or STX '?' status CR ----

Frame toledoStatus(char status)
{
    // Bits 5 and 6 are always set; some hosts read bit 5 as data, so only the low five count.
    const int bits = status & 0x1f;
    if (bits & 0x02)
        return frame(FrameKind::OverCapacity);
    if (bits & 0x04)
        return frame(FrameKind::UnderZero);
    if (bits & 0x01)
        return frame(FrameKind::Motion);
    if (bits & 0x08)
        return frame(FrameKind::Fault, "outside the zero capture range: re-zero the scale");
    if (bits & 0x10)
        return weightFrame(0, 0);
    return frame(FrameKind::Fault, "no valid weight, no reason given");
}

Parsed parseToledo(std::string_view bytes)
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
        return {bytes.size() > kMaxFrame ? 1u : 0u, {}};
    const std::string_view body = bytes.substr(1, end - 1);
    if (body.size() == 2 && body[0] == '?')
        return {end + 1, toledoStatus(body[1])};
    const std::optional<LONG> weight = ParseThousandths(body);
    return {end + 1, weight ? weightFrame(*weight, 0) : malformed()};
}

// ---- NCI: LF weight unit CR LF [S] status CR ETX; in motion possibly LF status CR ETX ----

// "0001.50LB" or "^^^^^^LB": the number, then the unit letters.
Frame nciWeight(std::string_view line, bool stable)
{
    std::size_t unitAt = line.size();
    while (unitAt > 0 && std::isalpha(static_cast<unsigned char>(line[unitAt - 1])))
        --unitAt;
    const std::string_view number = trim(line.substr(0, unitAt));
    const LONG unit = ParseUnit(line.substr(unitAt));
    if (!number.empty() && number.find_first_not_of('^') == std::string_view::npos)
        return frame(FrameKind::OverCapacity);
    if (!number.empty() && number.find_first_not_of("_-") == std::string_view::npos)
        return frame(FrameKind::UnderZero);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight || (unitAt < line.size() && unit == 0))
        return malformed();
    return weightFrame(*weight, unit, stable);
}

Frame nciFrame(std::string_view status, std::optional<std::string_view> weightLine)
{
    if (!status.empty() && status[0] == 'S')
        status.remove_prefix(1);
    if (status.size() < 2 || status.size() > 3 ||
        std::any_of(status.begin(), status.end(), [](char c) { return (c & 0x70) != 0x30; }))
        return malformed();
    const int first = status[0] & 0x0f, second = status[1] & 0x0f;
    if ((first & 0x0c) || (second & 0x0c))
        return frame(FrameKind::Fault, "the scale reports a memory or calibration fault");
    if (second & 0x02)
        return frame(FrameKind::OverCapacity);
    if (second & 0x01)
        return frame(FrameKind::UnderZero);
    const bool motion = first & 0x01, zero = first & 0x02;
    if (weightLine)
        return nciWeight(*weightLine, !motion);
    if (motion)
        return frame(FrameKind::Motion);
    return zero ? weightFrame(0, 0) : frame(FrameKind::NotReady);
}

Parsed parseNci(std::string_view bytes)
{
    const std::size_t etx = bytes.find(ETX);
    if (etx == std::string_view::npos) {
        const std::size_t lf = bytes.find(LF);
        if (lf == std::string_view::npos)
            return {bytes.size(), {}};
        return {lf > 0 ? lf : (bytes.size() > kMaxFrame ? 1u : 0u), {}};
    }
    // Read back from the end, so noise or a frame cut short before it cannot join in.
    const std::string_view all = bytes.substr(0, etx);
    const Parsed broken{etx + 1, malformed()};
    if (all.empty() || all.back() != CR)
        return broken;
    const std::size_t statusAt = all.rfind(LF);
    if (statusAt == std::string_view::npos)
        return broken;
    const std::string_view status = all.substr(statusAt + 1, all.size() - statusAt - 2);
    if (statusAt == 0 || all[statusAt - 1] != CR)
        return {etx + 1, nciFrame(status, std::nullopt)};
    const std::size_t weightAt = all.rfind(LF, statusAt - 1);
    if (weightAt == std::string_view::npos)
        return {etx + 1, nciFrame(status, std::nullopt)};
    return {etx + 1, nciFrame(status, all.substr(weightAt + 1, statusAt - 1 - weightAt - 1))};
}

// ---- MT-SICS: one line per answer, ending CR LF ----

std::optional<Frame> sicsIdentity(std::string_view rest)
{
    // I2 A "<model> <capacity> <unit>"
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"')
        return std::nullopt;
    const std::string_view text = trim(rest.substr(1, rest.size() - 2));
    const std::size_t unitAt = text.rfind(' ');
    if (unitAt == std::string_view::npos)
        return std::nullopt;
    const std::string_view head = trim(text.substr(0, unitAt));
    const std::size_t capacityAt = head.rfind(' ');
    const std::optional<LONG> capacity = ParseThousandths(head.substr(capacityAt + 1));
    const LONG unit = ParseUnit(text.substr(unitAt + 1));
    if (!capacity || unit == 0)
        return std::nullopt;
    const std::string model(capacityAt == std::string_view::npos ? "" : trim(head.substr(0, capacityAt)));
    return Frame{FrameKind::Identity, 0, unit, *capacity, model};
}

// The first word, and what follows it with the spaces between taken off.
std::pair<std::string_view, std::string_view> word(std::string_view s)
{
    const std::size_t end = std::min(s.find(' '), s.size());
    return {s.substr(0, end), trim(s.substr(end))};
}

std::optional<Frame> sicsLine(std::string_view line)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> errors{{
        {"ES", "the scale did not understand the request"},
        {"ET", "the scale reports a transmission error"},
        {"EL", "the scale cannot carry out the request"},
    }};
    line = trim(line);
    for (const auto& [code, why] : errors)
        if (line == code)
            return frame(FrameKind::Error, std::string(why));
    const auto [command, afterCommand] = word(line);
    const auto [status, rest] = word(afterCommand);
    if (command == "I2") {
        if (status == "A")
            return sicsIdentity(rest);
        if (status == "I" && rest.empty())
            return frame(FrameKind::NotReady);
        return std::nullopt;
    }
    if (command != "S" && command != "SI")
        return std::nullopt;
    if (rest.empty()) {
        static constexpr std::array<std::pair<std::string_view, FrameKind>, 3> bare{{
            {"+", FrameKind::OverCapacity}, {"-", FrameKind::UnderZero}, {"I", FrameKind::NotReady}}};
        for (const auto& [code, kind] : bare)
            if (status == code)
                return frame(kind);
        return std::nullopt;
    }
    if (status != "S" && status != "D")
        return std::nullopt;
    const auto [number, unitText] = word(rest);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight || unitText.find(' ') != std::string_view::npos)
        return std::nullopt;
    const LONG unit = ParseUnit(unitText);
    if (unit == 0)
        return frame(FrameKind::Error, "the scale weighs in \"" + std::string(unitText) + "\", which is not g, kg, oz or lb");
    return weightFrame(*weight, unit, status == "S");
}

Parsed parseSics(std::string_view bytes)
{
    const std::size_t end = bytes.find(LF);
    if (end == std::string_view::npos)
        return {bytes.size() > kMaxFrame ? bytes.size() : 0u, {}};
    std::string_view line = bytes.substr(0, end);
    if (!line.empty() && line.back() == CR)
        line.remove_suffix(1);
    // Noise or the rest of an answer cut short may stand before the answer on the same line.
    for (std::size_t at = 0; at < line.size(); ++at)
        if (at == 0 || line[at] == 'S' || line[at] == 'E' || line[at] == 'I')
            if (std::optional<Frame> parsed = sicsLine(line.substr(at)))
                return {end + 1, std::move(parsed)};
    return {end + 1, trim(line).empty() ? std::nullopt : std::optional(malformed())};
}
}

std::optional<Framing> ParseFraming(std::string_view text)
{
    if (text.size() != 3 || text[0] < '5' || text[0] > '8' || (text[2] != '1' && text[2] != '2'))
        return std::nullopt;
    const char parity = char(std::toupper(static_cast<unsigned char>(text[1])));
    if (parity != 'N' && parity != 'E' && parity != 'O')
        return std::nullopt;
    return Framing{text[0] - '0', parity, text[2] - '0'};
}

std::string FramingText(const Framing& framing)
{
    return {char('0' + framing.dataBits), framing.parity, char('0' + framing.stopBits)};
}

std::span<const ProtocolInfo> Protocols() { return kProtocols; }

const ProtocolInfo& Info(Protocol protocol)
{
    return *std::find_if(kProtocols.begin(), kProtocols.end(), [&](const ProtocolInfo& p) { return p.protocol == protocol; });
}

std::optional<Protocol> ProtocolByName(std::string_view name)
{
    for (const ProtocolInfo& p : kProtocols)
        if (p.name == name)
            return p.protocol;
    return std::nullopt;
}

Parsed ParseFrame(Protocol protocol, std::string_view bytes)
{
    if (const auto parse = Info(protocol).parse)
        return parse(bytes);
    switch (protocol) {
    case Protocol::Toledo: return parseToledo(bytes);
    case Protocol::Nci: return parseNci(bytes);
    case Protocol::Sics: return parseSics(bytes);
    default: break;
    }
    return {bytes.size(), {}};
}

void FrameReader::Feed(std::string_view bytes)
{
    for (char c : bytes)
        m_buffer.push_back(char(c & 0x7f));
}

std::optional<Frame> FrameReader::Next()
{
    for (;;) {
        const Parsed parsed = ParseFrame(m_protocol, m_buffer);
        m_buffer.erase(0, parsed.consumed);
        if (parsed.frame || parsed.consumed == 0)
            return parsed.frame;
    }
}

std::optional<LONG> ParseThousandths(std::string_view text)
{
    text = trim(text);
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    std::int64_t value = 0;
    int decimals = -1, digits = 0, roundUp = 0;
    for (char c : text) {
        if (c == '.' && decimals < 0) {
            decimals = 0;
        } else if (c >= '0' && c <= '9') {
            ++digits;
            if (decimals < 3) {
                value = value * 10 + (c - '0');
                if (value > 0x7fffffff)
                    return std::nullopt;
                decimals += decimals >= 0;
            } else if (decimals++ == 3) {
                roundUp = c >= '5';
            }
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    for (int d = std::max(decimals, 0); d < 3; ++d)
        value *= 10;
    value += roundUp;
    if (value > 0x7fffffff)
        return std::nullopt;
    return LONG(negative ? -value : value);
}

LONG ParseUnit(std::string_view text)
{
    static constexpr std::array<std::pair<std::string_view, LONG>, 4> units{{
        {"g", SCAL_WU_GRAM}, {"kg", SCAL_WU_KILOGRAM}, {"oz", SCAL_WU_OUNCE}, {"lb", SCAL_WU_POUND}}};
    std::string lower(trim(text));
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const auto& [name, unit] : units)
        if (lower == name)
            return unit;
    return 0;
}

}
