// The table of protocols, the dispatch to each family's parser (Protocol<Family>.cpp), and what
// they share: numbers in thousandths and the unit words.
#include "opos/serial/SerialProtocol.h"

#include "opos/serial/ProtocolParsers.h"

#include "opos/ResultCodes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace opos::serial {

namespace {
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

std::optional<Checksum> ChecksumByName(std::string_view name)
{
    if (name == "complement")
        return Checksum::Complement;
    if (name == "sum")
        return Checksum::Sum;
    return std::nullopt;
}

Parsed ParseFrame(Protocol protocol, std::string_view bytes, Checksum checksum)
{
    const bool summed = protocol == Protocol::ToledoContinuousChecked && checksum == Checksum::Sum;
    Parsed (*const parse)(std::string_view) = summed                         ? ParseToledoContinuousSummed
                                              : Info(protocol).parse         ? Info(protocol).parse
                                              : protocol == Protocol::Toledo ? ParseToledo
                                              : protocol == Protocol::Nci    ? ParseNci
                                                                             : ParseSics;
    Parsed parsed = parse(bytes);
    if (parsed.frame && parsed.frame->kind == FrameKind::NotUnderstood && parsed.frame->raw.empty())
        parsed.frame->raw = bytes.substr(0, std::min(parsed.consumed, bytes.size()));
    return parsed;
}

void FrameReader::Feed(std::string_view bytes)
{
    for (char c : bytes)
        m_buffer.push_back(char(c & 0x7f));
}

std::optional<Frame> FrameReader::Next()
{
    for (;;) {
        const Parsed parsed = ParseFrame(m_protocol, m_buffer, m_checksum);
        m_buffer.erase(0, parsed.consumed);
        if (parsed.frame || parsed.consumed == 0)
            return parsed.frame;
    }
}

std::optional<LONG> ParseThousandths(std::string_view text)
{
    using parsing::Trim;
    text = Trim(text);
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text = Trim(text.substr(1));
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
    std::string lower(parsing::Trim(text));
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const auto& [name, unit] : units)
        if (lower == name)
            return unit;
    return 0;
}

}
