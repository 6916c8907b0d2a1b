#include "opos/serial/SerialProtocol.h"

#include "opos/serial/ProtocolParsers.h"

#include "opos/ResultCodes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <climits>

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

Frame frame(FrameKind kind, std::string text = {}) { return Frame{kind, 0, 0, 0, std::move(text), {}}; }

Frame notUnderstood(std::string_view raw)
{
    Frame f = frame(FrameKind::NotUnderstood);
    f.raw = raw;
    return f;
}

// A stable weight frame; a negative stable weight is a load below zero.
Frame weightFrame(LONG weight, LONG unit, bool stable = true)
{
    if (stable && weight < 0)
        return frame(FrameKind::UnderZero);
    return Frame{stable ? FrameKind::Weight : FrameKind::Motion, weight, unit, 0, {}, {}};
}

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// "001.25 N", "0001.50LB": the number and the letters after it, blanks taken off.
std::pair<std::string_view, std::string_view> numberAndLetters(std::string_view text)
{
    text = trim(text);
    std::size_t at = text.size();
    while (at > 0 && std::isalpha(static_cast<unsigned char>(text[at - 1])))
        --at;
    return {trim(text.substr(0, at)), text.substr(at)};
}

// Letters some indicators put after the weight to say it is net or gross: either is the weight shown.
bool isWeightMarker(std::string_view letters)
{
    static constexpr std::array<std::string_view, 5> markers{"n", "g", "nt", "gr", "gs"};
    return std::find(markers.begin(), markers.end(), lower(letters)) != markers.end();
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

// "001.25", "0 1250" (whole grams), "001.25N" (net, as a tare leaves it).
std::optional<Frame> toledoBody(std::string_view body)
{
    if (body.size() == 2 && body[0] == '?')
        return toledoStatus(body[1]);
    const auto [number, letters] = numberAndLetters(body);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight || (!letters.empty() && !isWeightMarker(letters)))
        return std::nullopt;
    return weightFrame(*weight, 0);
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
    const std::optional<Frame> parsed = toledoBody(bytes.substr(1, end - 1));
    return {end + 1, parsed ? *parsed : notUnderstood(bytes.substr(0, end + 1))};
}

// ---- NCI: LF weight unit CR LF [S] status CR ETX; in motion possibly LF status CR ETX ----

// "  1lb  4.5oz": a pound-and-ounce display, in ounces.
std::optional<LONG> poundsAndOunces(std::string_view line)
{
    const std::string text = lower(line);
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
        return weightFrame(*ounces, SCAL_WU_OUNCE, stable);
    const auto [number, letters] = numberAndLetters(line);
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
            return frame(run.kind, run.why);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight)
        return std::nullopt;
    return weightFrame(*weight, unit, stable);
}

// Two to four status bytes, bits 4 and 5 set in each. Bit 6 is "always 0", "always 1" or
// "another byte follows" depending on the manual, so it is not looked at.
std::optional<Frame> nciFrame(std::string_view status, std::optional<std::string_view> weightLine)
{
    if (status == "?")
        return frame(FrameKind::Error, "the scale did not understand the request");
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
            return frame(FrameKind::Fault, std::string("the scale reports ") + fault.why);
    if (bits(1) & 0x02)
        return frame(FrameKind::OverCapacity);
    if (bits(1) & 0x01)
        return frame(FrameKind::UnderZero);
    const bool motion = bits(0) & 0x01, zero = bits(0) & 0x02;
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
    const Parsed broken{etx + 1, notUnderstood(bytes.substr(0, etx + 1))};
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
    return Frame{FrameKind::Identity, 0, unit, *capacity, model, {}};
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
    // The unit is the last word: some balances set the sign apart from the digits.
    const std::size_t unitAt = rest.rfind(' ');
    if (unitAt == std::string_view::npos)
        return std::nullopt;
    const std::optional<LONG> weight = ParseThousandths(rest.substr(0, unitAt));
    const LONG unit = ParseUnit(rest.substr(unitAt + 1));
    // A unit the control cannot report (carats, troy ounces...) is left to the technician to see.
    if (!weight || unit == 0)
        return std::nullopt;
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
    return {end + 1, trim(line).empty() ? std::nullopt : std::optional(notUnderstood(bytes.substr(0, end + 1)))};
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
    if (const auto parse = Info(protocol).parse) {
        Parsed parsed = parse(bytes);
        if (parsed.frame && parsed.frame->kind == FrameKind::NotUnderstood && parsed.frame->raw.empty())
            parsed.frame->raw = bytes.substr(0, std::min(parsed.consumed, bytes.size()));
        return parsed;
    }
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
        text = trim(text.substr(1));
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
