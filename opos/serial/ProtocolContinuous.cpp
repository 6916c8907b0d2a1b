// The Toledo-style continuous output: STX, status bytes A, B and C, six weight digits without a
// decimal point, six tare digits (left out by the short form), CR, and where the indicator is
// set so, a check character making the 7-bit sum of the whole frame zero (or, where the section
// says `checksum = sum`, the 7-bit sum of the characters before it).
#include "opos/serial/ProtocolParsers.h"

#include "opos/ResultCodes.h"

#include <cstdint>

namespace opos::serial {

namespace {
using namespace parsing;
constexpr char STX = 0x02, CR = 0x0d;
constexpr std::size_t kShortCr = 10, kLongCr = 16; // where CR stands without and with the tare

// Six digit places, leading zeros possibly blanked.
std::optional<std::int64_t> digits(std::string_view field)
{
    std::int64_t value = 0;
    bool any = false;
    for (char c : field) {
        if (c == ' ' && !any)
            continue;
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        any = true;
    }
    return any ? std::optional(value) : std::nullopt;
}

// Status A's bits 0-2 place the decimal point: 0 two dummy zeros, 1 one, 2 none, 3 one
// decimal ... 7 five decimals. The weight in thousandths, rounded.
std::optional<LONG> thousandths(std::int64_t value, int code)
{
    for (int shift = code; shift < 5; ++shift)
        value *= 10;
    for (int shift = 5; shift < code; ++shift)
        value = (value + 5) / 10;
    return value > 0x7fffffff ? std::nullopt : std::optional(LONG(value));
}

// Status C's bits 0-2 name the unit: 0 lb or kg as status B's bit 4 says, 1 g, 3 oz, 7 none.
std::optional<LONG> unitOf(char b, char c)
{
    switch (c & 0x07) {
    case 0: return b & 0x10 ? SCAL_WU_KILOGRAM : SCAL_WU_POUND;
    case 1: return SCAL_WU_GRAM;
    case 3: return SCAL_WU_OUNCE;
    case 7: return 0; // the configured unit
    }
    return std::nullopt; // tonnes and the like
}

Frame decode(std::string_view frame, std::size_t cr)
{
    const char a = frame[1], b = frame[2], c = frame[3];
    // Status A always has bit 5 set and bit 6 clear; anything else is not this protocol.
    if ((a & 0x60) != 0x20)
        return Malformed();
    const std::optional<std::int64_t> weight = digits(frame.substr(4, 6));
    if (!weight || (cr == kLongCr && !digits(frame.substr(10, 6))))
        return Malformed();
    if (b & 0x40)
        return Kind(FrameKind::Fault, "the scale has not been zeroed since it was switched on");
    const bool negative = b & 0x02;
    if (b & 0x04)
        return Kind(negative ? FrameKind::UnderZero : FrameKind::OverCapacity);
    const std::optional<LONG> unit = unitOf(b, c);
    if (!unit)
        return Kind(FrameKind::NotUnderstood, "the scale weighs in a unit other than g, kg, oz or lb (status C " +
                                          std::to_string(c & 0x07) + ")");
    const std::optional<LONG> value = thousandths(*weight, a & 0x07);
    if (!value)
        return Malformed();
    return Reading(negative ? -*value : *value, *unit, !(b & 0x08));
}

enum class Check { None, Complement, Sum };

Parsed parse(std::string_view bytes, Check check)
{
    const std::size_t start = bytes.find(STX);
    if (start == std::string_view::npos)
        return {bytes.size(), {}};
    if (start > 0)
        return {start, {}};
    const std::string_view head = bytes.substr(0, kLongCr + 1);
    std::size_t cr = std::string_view::npos;
    if (head.size() > kShortCr && head[kShortCr] == CR)
        cr = kShortCr;
    else if (head.size() > kLongCr && head[kLongCr] == CR)
        cr = kLongCr;
    const std::size_t restart = head.find(STX, 1);
    if (restart < cr) // cut short: the next frame began before this one ended
        return {restart, {}};
    if (cr == std::string_view::npos)
        return head.size() > kLongCr ? Parsed{1, Malformed()} : Parsed{0, {}};
    if (check == Check::None)
        return {cr + 1, decode(bytes, cr)};
    if (bytes.size() <= cr + 1)
        return {0, {}};
    unsigned sum = 0;
    for (char ch : bytes.substr(0, cr + 1))
        sum += unsigned(ch) & 0x7f;
    const unsigned given = unsigned(bytes[cr + 1]) & 0x7f;
    const bool good = check == Check::Sum ? (sum & 0x7f) == given : ((sum + given) & 0x7f) == 0;
    return {cr + 2, good ? decode(bytes, cr) : TransmissionError()};
}
}

Parsed ParseToledoContinuous(std::string_view bytes) { return parse(bytes, Check::None); }
Parsed ParseToledoContinuousChecked(std::string_view bytes) { return parse(bytes, Check::Complement); }
Parsed ParseToledoContinuousSummed(std::string_view bytes) { return parse(bytes, Check::Sum); }

}
