// The parsers of the protocol families on their documented frames (tests/answers/<protocol>.txt), and
// of the first three on their edge cases (tests/answers/edge), whole, with the parity bit set and a
// byte at a time. (Endless noise: SerialProtocolTest, for every row.)
#include "tests/opos/SerialFrameCases.h"

using namespace serialcases;

namespace {
// What the reader hands out for the bytes fed in pieces of `step` (0: at once).
std::string framesOf(Protocol protocol, const std::string& bytes, std::size_t step)
{
    FrameReader reader(protocol);
    std::string frames;
    for (std::size_t at = 0; at < bytes.size(); at += step ? step : bytes.size()) {
        reader.Feed(std::string_view(bytes).substr(at, step ? step : bytes.size()));
        while (const std::optional<Frame> frame = reader.Next())
            frames += (frames.empty() ? "" : "; ") + Canonical(*frame);
    }
    return frames.empty() ? "nothing" : frames;
}
}

TEST(SerialFrameFiles, EachDocumentedFrameGivesItsReadingWholeWithParityAndByteByByte)
{
    std::vector<FrameCase> cases = LoadFrameCases(), edge = LoadFrameCases(true);
    cases.insert(cases.end(), edge.begin(), edge.end());
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.where);
        std::string parity = c.bytes;
        for (char& ch : parity)
            ch = char(ch | 0x80);
        EXPECT_EQ(framesOf(c.protocol, c.bytes, 0), c.expected);
        EXPECT_EQ(framesOf(c.protocol, parity, 0), c.expected);
        EXPECT_EQ(framesOf(c.protocol, c.bytes, 1), c.expected);
    }
}
