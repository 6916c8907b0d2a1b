// The ENQ/DC1 dialogue of counter scales: the host sends ENQ, the scale answers ACK when it is
// ready (NAK when not), the host sends DC1, and the scale sends SOH, then STX, ten data bytes
// (S or U for stable or unstable, the sign: space, "-" or F for overflow, six of weight with
// its decimal point, two of unit), the block check character (the exclusive or of the ten data
// bytes), ETX, and EOT. A frame whose check character does not match is a transmission error.
#include "opos/serial/ProtocolParsers.h"

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char STX = 0x02, ETX = 0x03, ACK = 0x06, NAK = 0x15;
constexpr std::size_t kData = 10, kFrame = 1 + kData + 2; // STX, data, BCC, ETX

Frame decode(std::string_view data)
{
    const char stability = data[0], sign = data[1];
    if ((stability != 'S' && stability != 'U') || (sign != ' ' && sign != '-' && sign != 'F'))
        return Malformed();
    if (sign == 'F')
        return Kind(FrameKind::OverCapacity);
    const std::string_view number = Trim(data.substr(2, 6)), unitText = Trim(data.substr(8, 2));
    if (number.empty() && stability == 'U') // some scales blank the weight while it moves
        return Kind(FrameKind::Motion);
    const std::optional<LONG> weight = ParseThousandths(number);
    if (!weight || number.front() == '-' || number.front() == '+')
        return Malformed();
    const LONG unit = ParseUnit(unitText);
    if (unit == 0)
        return UnknownUnit(unitText);
    return Reading(sign == '-' ? -*weight : *weight, unit, stability == 'S');
}
}

Parsed ParseEnqDc1(std::string_view bytes)
{
    const std::size_t start = bytes.find_first_of(std::string_view("\x02\x06\x15", 3));
    if (start == std::string_view::npos)
        return {bytes.size(), {}}; // SOH, EOT and noise
    if (start > 0)
        return {start, {}};
    if (bytes[0] == ACK)
        return {1, Kind(FrameKind::Acknowledged)};
    if (bytes[0] == NAK)
        return {1, Kind(FrameKind::NotReady, "the scale has no weight to send yet")};
    // The data bytes are printable: an STX among them began the next frame.
    const std::size_t restart = bytes.substr(0, 1 + kData).find(STX, 1);
    if (restart != std::string_view::npos)
        return {restart, {}};
    if (bytes.size() < kFrame)
        return {0, {}};
    if (bytes[kFrame - 1] != ETX)
        return {1, Malformed()};
    char bcc = 0;
    for (char c : bytes.substr(1, kData))
        bcc = char(bcc ^ c);
    return {kFrame, bcc == bytes[1 + kData] ? decode(bytes.substr(1, kData)) : TransmissionError()};
}

}
