// The serial protocols' parsers on what a real line adds to frames: pieces, noise, frames cut
// short, silence (each frame alone, with parity and byte by byte: SerialFrameFilesTest).
#include "opos/ResultCodes.h"
#include "opos/serial/SerialProtocol.h"

#include <gtest/gtest.h>

#include <vector>

using namespace opos::serial;
using K = FrameKind;

namespace {
struct Expected
{
    FrameKind kind;
    LONG weight = 0;
    LONG unit = 0;
    bool operator==(const Expected&) const = default;
};
void PrintTo(const Expected& e, std::ostream* os) { *os << "kind " << int(e.kind) << ", " << e.weight << ", unit " << e.unit; }

// Every frame the reader hands out for the bytes fed in the given pieces.
std::vector<Expected> framesOf(Protocol protocol, const std::vector<std::string>& pieces)
{
    FrameReader reader(protocol);
    std::vector<Expected> frames;
    for (const std::string& piece : pieces) {
        reader.Feed(piece);
        while (std::optional<Frame> frame = reader.Next())
            frames.push_back({frame->kind, frame->weight, frame->unit});
    }
    return frames;
}

std::string withParity(std::string bytes)
{
    for (char& c : bytes)
        c = char(c | 0x80);
    return bytes;
}

const std::string toledo125 = "\x02" "001.25\r";
const std::string nci150 = "\n0001.50LB\r\n00\r\x03";
const std::string sics100 = "S S     100.00 g\r\n";
}

TEST(SerialProtocol, LineTroubleNeverMakesAPartialFrameAWeight)
{
    const struct {
        const char* what;
        Protocol protocol;
        std::vector<std::string> pieces;
        std::vector<Expected> expected;
    } cases[] = {
        {"toledo split", Protocol::Toledo, {"\x02" "00", "1.2", "5\r"}, {{K::Weight, 1250}}},
        {"toledo noise", Protocol::Toledo, {"\x7f\x01zz9.99" + toledo125}, {{K::Weight, 1250}}},
        {"toledo cut short", Protocol::Toledo, {"\x02" "009.", toledo125}, {{K::Weight, 1250}}},
        {"toledo unfinished", Protocol::Toledo, {"\x02" "001.2"}, {}},
        {"toledo two", Protocol::Toledo, {toledo125 + "\x02?a\r"}, {{K::Weight, 1250}, {K::Motion}}},
        {"nci split", Protocol::Nci, {"\n0001", ".50LB\r", "\n00\r", "\x03"}, {{K::Weight, 1500, SCAL_WU_POUND}}},
        {"nci noise", Protocol::Nci, {"\x11junk\r" + nci150}, {{K::Weight, 1500, SCAL_WU_POUND}}},
        {"nci cut short", Protocol::Nci, {"\n0009.9", nci150}, {{K::Weight, 1500, SCAL_WU_POUND}}},
        {"nci unfinished", Protocol::Nci, {"\n0001.50LB\r\n00\r"}, {}},
        {"nci stray end", Protocol::Nci, {"\x03" + nci150}, {{K::NotUnderstood}, {K::Weight, 1500, SCAL_WU_POUND}}},
        {"sics split", Protocol::Sics, {"S S  ", "   100.0", "0 g\r", "\n"}, {{K::Weight, 100000, SCAL_WU_GRAM}}},
        {"sics noise", Protocol::Sics, {"\x05~~" + sics100}, {{K::Weight, 100000, SCAL_WU_GRAM}}},
        {"sics cut short", Protocol::Sics, {"S S     10", sics100}, {{K::Weight, 100000, SCAL_WU_GRAM}}},
        {"sics unfinished", Protocol::Sics, {"S S     100.00 g\r"}, {}},
        {"sics blank lines", Protocol::Sics, {"\r\n\r\n" + sics100}, {{K::Weight, 100000, SCAL_WU_GRAM}}},
        {"sics garbage line", Protocol::Sics, {"#?!\r\n" + sics100}, {{K::NotUnderstood}, {K::Weight, 100000, SCAL_WU_GRAM}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(framesOf(c.protocol, c.pieces), c.expected);
    }
}

TEST(SerialProtocol, EndlessNoiseIsDroppedNotHoarded)
{
    for (const ProtocolInfo& info : Protocols()) {
        FrameReader reader(info.protocol);
        for (int i = 0; i < 1000; ++i) {
            reader.Feed(std::string(100, info.protocol == Protocol::Toledo ? '\x02' : 'x'));
            while (reader.Next()) {
            }
        }
        EXPECT_LE(reader.Pending(), 100u) << info.name;
    }
}

TEST(SerialProtocol, NumbersAndSettings)
{
    const struct {
        const char* text;
        std::optional<LONG> thousandths;
    } numbers[] = {
        {"001.25", 1250}, {"  -12.5", -12500}, {"7", 7000}, {"0.0005", 1}, {"0.0004", 0},
        {"2147483.647", 2147483647}, {"2147483.648", std::nullopt}, {"99999999999", std::nullopt},
        {"", std::nullopt}, {".", std::nullopt}, {"1.2.3", std::nullopt}, {"1 2", std::nullopt}, {"- 1.5", -1500}, {"-", std::nullopt},
    };
    for (const auto& n : numbers)
        EXPECT_EQ(ParseThousandths(n.text), n.thousandths) << n.text;

    EXPECT_EQ(ParseFraming("7E1"), (Framing{7, 'E', 1}));
    EXPECT_EQ(ParseFraming("8n2"), (Framing{8, 'N', 2}));
    for (const char* bad : {"9N1", "7X1", "7E3", "7E", "8N1 "})
        EXPECT_EQ(ParseFraming(bad), std::nullopt) << bad;
    EXPECT_EQ(FramingText(Framing{7, 'O', 2}), "7O2");
    EXPECT_EQ(ProtocolByName("sics"), Protocol::Sics);
    EXPECT_EQ(ProtocolByName("SICS"), std::nullopt);

    // A check character that is the sum of the frame before it reads only where the section says so.
    const std::string summed = "\x02-0 001250000000\rT", complement = "\x02-0 001250000000\r,";
    FrameReader reader(Protocol::ToledoContinuousChecked, Checksum::Sum);
    reader.Feed(withParity(summed));
    EXPECT_EQ(reader.Next().value().weight, 1250);
    EXPECT_EQ(ParseFrame(Protocol::ToledoContinuousChecked, summed).frame.value().kind, K::Error);
    EXPECT_EQ(ParseFrame(Protocol::ToledoContinuousChecked, complement, Checksum::Sum).frame.value().kind, K::Error);
    EXPECT_EQ(ChecksumByName("sum"), Checksum::Sum);
    EXPECT_EQ(ChecksumByName("crc"), std::nullopt);
}
