// The ENQ/DC1 dialogue of counter scales: the host sends ENQ, the scale answers ACK when it is
// ready (NAK when not), the host sends DC1, and the scale sends SOH, then STX, the data bytes
// (S or U for stable or unstable, the sign: space, "-" or F for overflow, five or six of weight
// with its decimal point and blanks for leading zeros, one or two letters of unit in either
// case), the block check character, ETX, and EOT. Most scales make the check character the
// exclusive or of the data bytes from the status byte on; some take SOH and STX in as well (the
// twelve bytes before it). The two differ by SOH ^ STX, so a frame can satisfy only one; one that
// satisfies neither is a transmission error.
#include "opos/serial/ProtocolParsers.h"

#include <cctype>

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char SOH = 0x01, STX = 0x02, ETX = 0x03, EOT = 0x04, ACK = 0x06, NAK = 0x15;
constexpr char kSohStx = SOH ^ STX;
// Status, sign, five or six of weight, one or two of unit; ten is the form most scales send.
constexpr std::size_t kMinData = 8, kMaxData = 10;

Frame decode(std::string_view data)
{
    const char stability = data[0], sign = data[1];
    if ((stability != 'S' && stability != 'U' && stability != 'F') || (sign != ' ' && sign != '-' && sign != 'F'))
        return Malformed();
    if (sign == 'F')
        return Kind(FrameKind::OverCapacity);
    if (stability == 'F') // a status some scales send in the place of S or U
        return Kind(FrameKind::Fault, "the scale reports its weight as abnormal");
    // Ten bytes: six of weight and two of unit, either possibly blank-padded. Fewer: the unit is
    // the letters at the end.
    std::size_t unitAt = data.size() == kMaxData ? 8 : data.size();
    while (data.size() < kMaxData && unitAt > 2 && std::isalpha(static_cast<unsigned char>(data[unitAt - 1])))
        --unitAt;
    const std::string_view number = Trim(data.substr(2, unitAt - 2)), unitText = Trim(data.substr(unitAt));
    if (unitAt - 2 < 5 || unitAt - 2 > 6 || unitText.empty())
        return Malformed();
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

bool printable(std::string_view data)
{
    for (char c : data)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

char checkOf(std::string_view data)
{
    char bcc = 0;
    for (char c : data)
        bcc = char(bcc ^ c);
    return bcc;
}

// STX at the start: the frame, a frame cut short, or more bytes to wait for.
Parsed dataFrame(std::string_view bytes)
{
    // The data bytes are printable: an STX among the first of them began the next frame.
    const std::size_t restart = bytes.substr(0, 1 + kMinData).find(STX, 1);
    if (restart != std::string_view::npos)
        return {restart, {}};
    std::size_t failed = 0; // where a frame whose check character does not match ends
    for (std::size_t n = kMinData; n <= kMaxData; ++n) {
        const std::size_t etx = 1 + n + 1;
        if (bytes.size() <= etx)
            return {0, {}};
        const std::string_view data = bytes.substr(1, n);
        if (!printable(data))
            break;
        if (bytes[etx] != ETX)
            continue;
        if (bytes[etx - 1] == checkOf(data))
            return {etx + 1, decode(data)};
        if (bytes[etx - 1] == char(checkOf(data) ^ kSohStx)) {
            Frame frame = decode(data);
            if (frame.kind == FrameKind::Weight || frame.kind == FrameKind::Motion)
                frame.text = "check character over SOH and STX too";
            return {etx + 1, frame};
        }
        if (bytes.size() > etx + 1 && bytes[etx + 1] == EOT)
            return {etx + 1, TransmissionError()};
        failed = failed ? failed : etx + 1;
    }
    return failed ? Parsed{failed, TransmissionError()} : Parsed{1, Malformed()};
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
    return dataFrame(bytes);
}

}
