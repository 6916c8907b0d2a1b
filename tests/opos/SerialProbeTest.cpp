// The thorough probe's search on a fake line in virtual time: a scale whose speed or framing
// was changed is found and the search ends after that speed, answers at the wrong framing rank
// below the clean one, a scale that streams is heard unasked, a line where nothing answers is
// done within half a minute, and the search keeps to its time bound; and the real port takes
// each setting.
#include "opos/serial/SerialProbe.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace opos::serial;

namespace {
// A character's bits on the wire: data (low bit first), parity, stop bits.
std::vector<int> wireBits(unsigned char c, const Framing& f)
{
    std::vector<int> bits;
    int ones = 0;
    for (int i = 0; i < f.dataBits; ++i)
        ones += bits.emplace_back((c >> i) & 1);
    if (f.parity != 'N')
        bits.push_back((ones + (f.parity == 'O')) % 2);
    bits.insert(bits.end(), std::size_t(f.stopBits), 1);
    return bits;
}

// What a UART set to `to` makes of characters sent at `from` and the same speed: a character
// that fails its parity (unless ignored) or stop bit, or does not fit, comes as a NUL.
std::string across(std::string_view bytes, const Framing& from, const Framing& to, bool ignoreParity = false)
{
    std::string out;
    for (const char c : bytes) {
        const std::vector<int> bits = wireBits(static_cast<unsigned char>(c), from);
        unsigned value = 0;
        int ones = 0;
        for (int i = 0; i < to.dataBits; ++i)
            value |= unsigned(bits[std::size_t(i)]) << i, ones += bits[std::size_t(i)];
        const std::size_t parityAt = std::size_t(to.dataBits), stopAt = parityAt + (to.parity != 'N');
        const bool parityOk = to.parity == 'N' || ignoreParity || (ones + bits[parityAt] + (to.parity == 'O')) % 2 == 0;
        const bool fits = bits.size() == stopAt + std::size_t(to.stopBits);
        out.push_back(fits && parityOk && bits[stopAt] == 1 ? char(value) : '\0');
    }
    return out;
}

// A scale at fixed settings.
struct Scale
{
    Protocol protocol;
    LineSettings scale;
    std::string frame;
    bool streams = false; // sends a frame every 100 ms unasked
    bool lenient = false; // takes a request whatever its parity
    bool openFails = false;
};

// The scale at the far end of the fake line.
struct FakeScaleLine : ProbeLine, Scale
{
    explicit FakeScaleLine(const Scale& s) : Scale(s) {}

    LineSettings now;
    std::int64_t ms = 0;
    std::string pending;

    std::string seen(std::string_view bytes) const
    {
        return now.baud == scale.baud ? across(bytes, scale.framing, now.framing) : std::string("\xf0\x80\x00\xfe", 4);
    }
    bool Reopen(const LineSettings& settings, std::string& error) override
    {
        error = openFails ? "/dev/ttyX: no such device" : "";
        now = settings;
        pending.clear();
        return !openFails;
    }
    bool Send(std::string_view bytes) override
    {
        const std::string_view request = Info(protocol).request;
        if (!streams && now.baud == scale.baud && across(bytes, now.framing, scale.framing, lenient).find(request) != std::string::npos)
            pending += seen(frame);
        return true;
    }
    bool Receive(int timeoutMs, std::string& into) override
    {
        if (streams) {
            for (std::int64_t tick = ms / 100 + 1; tick * 100 <= ms + timeoutMs; ++tick)
                into += seen(frame);
        } else if (!pending.empty()) {
            into += std::exchange(pending, {});
            timeoutMs = std::min(timeoutMs, 20);
        }
        ms += timeoutMs;
        return true;
    }
    std::int64_t NowMs() override { return ms; }
};

const std::string kToledo = "\x02" "001.25\r", kNci = "\n0001.25LB\r\n00\r\x03", kSics = "S S      1.250 g\r\n";
}

TEST(SerialProbeSearch, FindsTheSettingsAScaleAnswersAtAndRanksTheCleanestFirst)
{
    const struct {
        const char* what;
        Scale scale;
        bool found;
        LineSettings best;
        bool asked;
        std::optional<LONG> weight = 1250;
    } cases[] = {
        {"a Toledo scale moved to 19200 baud", {.protocol = Protocol::Toledo, .scale = {19200, {7, 'E', 1}}, .frame = kToledo}, true, {19200, {7, 'E', 1}}, true},
        {"an MT-SICS scale at its usual settings", {.protocol = Protocol::Sics, .scale = {9600, {8, 'N', 1}}, .frame = kSics}, true, {9600, {8, 'N', 1}}, true},
        {"an NCI scale at 2400 8N1", {.protocol = Protocol::Nci, .scale = {2400, {8, 'N', 1}}, .frame = kNci}, true, {2400, {8, 'N', 1}}, true},
        {"a scale that ignores parity, at 115200 7O1",
         {.protocol = Protocol::Toledo, .scale = {115200, {7, 'O', 1}}, .frame = kToledo, .lenient = true}, true, {115200, {7, 'O', 1}}, true},
        {"a scale that streams unasked at 4800 7O1",
         {.protocol = Protocol::Toledo, .scale = {4800, {7, 'O', 1}}, .frame = kToledo, .streams = true}, true, {4800, {7, 'O', 1}}, false},
        {"a scale that never answers", {.protocol = Protocol::Toledo, .scale = {9600, {7, 'E', 1}}, .frame = ""}, false, {}, false},
        // One documented frame of each newer family (tests/answers), at settings not its own;
        // an ENQ/DC1 scale answers ENQ with ACK.
        {"continuous Toledo", {.protocol = Protocol::ToledoContinuous, .scale = {4800, {8, 'E', 1}}, .frame = "\x02-0 001250000000\r", .streams = true},
         true, {4800, {8, 'E', 1}}, false, {}},
        {"continuous Toledo, checked", {.protocol = Protocol::ToledoContinuousChecked, .scale = {4800, {8, 'E', 1}},
         .frame = "\x02-0 001250000000\r\x2c", .streams = true}, true, {4800, {8, 'E', 1}}, false, {}},
        {"text stream", {.protocol = Protocol::TextStream, .scale = {4800, {8, 'E', 1}}, .frame = "ST,GS,+001.250kg\r\n", .streams = true},
         true, {4800, {8, 'E', 1}}, false, {}},
        {"SMA", {.protocol = Protocol::Sma, .scale = {4800, {8, 'E', 1}}, .frame = "\n 1G       5.025lb \r"}, true, {4800, {8, 'E', 1}}, true, {}},
        {"scanner-scale", {.protocol = Protocol::ScannerScale, .scale = {4800, {8, 'E', 1}}, .frame = "S14401250\r"}, true, {4800, {8, 'E', 1}}, true, {}},
        {"ENQ/DC1", {.protocol = Protocol::EnqDc1, .scale = {4800, {8, 'E', 1}}, .frame = "\x06"}, true, {4800, {8, 'E', 1}}, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeScaleLine line(c.scale);
        std::vector<ProbeStep> steps;
        const ProbeResult result = SearchSerialSettings(line, kProbeBudgetMs, [&](const ProbeStep& step) { steps.push_back(step); });
        EXPECT_EQ(result.error, "");
        EXPECT_FALSE(result.timeUp);
        EXPECT_EQ(result.settled, c.found);
        ASSERT_EQ(!result.hits.empty(), c.found);
        if (!c.found) {
            EXPECT_EQ(result.settingsTried, int(ProbeSettings().size()));
            EXPECT_LE(line.ms, 30000) << "nothing answered, said in half a minute";
            continue;
        }
        EXPECT_EQ(line.now.baud, c.best.baud) << "the search ends after the speed it found";
        const ProbeHit& best = result.hits.front();
        EXPECT_EQ(best.protocol, c.scale.protocol);
        EXPECT_EQ(best.line.baud, c.best.baud);
        EXPECT_EQ(FramingText(best.line.framing), FramingText(c.best.framing));
        EXPECT_EQ(best.asked, c.asked);
        EXPECT_EQ(best.noise + best.errors, 0);
        if (c.weight) {
            EXPECT_EQ(best.first.weight, *c.weight);
        }
        // Every hit was shown as it came, with the bytes as read.
        EXPECT_TRUE(std::any_of(steps.begin(), steps.end(), [&](const ProbeStep& s) {
            return s.line.baud == best.line.baud && s.line.framing == best.line.framing && s.bytes.find(c.scale.frame) != std::string::npos;
        }));
        for (std::size_t i = 1; i < result.hits.size(); ++i)
            EXPECT_FALSE(BetterHit(result.hits[i], result.hits[i - 1])) << "hit " << i << " ranks above the one before it";
    }
}

TEST(SerialProbeSearch, KeepsToItsTimeBoundAndSaysWhenThePortCannotBeOpened)
{
    FakeScaleLine silent({.protocol = Protocol::Toledo, .scale = {1200, {8, 'N', 1}}, .frame = kToledo});
    const ProbeResult bounded = SearchSerialSettings(silent, 4000);
    EXPECT_TRUE(bounded.timeUp);
    EXPECT_EQ(bounded.settingsTried, 11);
    EXPECT_LE(silent.ms, 4000);

    FakeScaleLine missing({.protocol = Protocol::Toledo, .scale = {}, .frame = kToledo, .openFails = true});
    const ProbeResult failed = SearchSerialSettings(missing, kProbeBudgetMs);
    EXPECT_EQ(failed.error, "/dev/ttyX: no such device");
    EXPECT_EQ(failed.settingsTried, 0);
    EXPECT_TRUE(failed.hits.empty());
}

TEST(SerialProbeSearch, RanksCleanAnswersFirstThenMoreFramesThenTheProtocolsUsualSettings)
{
    const auto hit = [](int baud, Framing framing, int frames, int errors, int noise) {
        return ProbeHit{{baud, framing}, Protocol::Toledo, true, frames, errors, noise, {}};
    };
    const Framing usual{7, 'E', 1}, other{8, 'N', 1};
    const struct {
        const char* what;
        ProbeHit better, worse;
    } cases[] = {
        {"clean at other settings over noisy at the usual", hit(19200, other, 1, 0, 0), hit(9600, usual, 3, 0, 2)},
        {"no error frames over one", hit(19200, other, 1, 0, 0), hit(9600, usual, 2, 1, 0)},
        {"more frames when as clean", hit(19200, other, 3, 0, 0), hit(9600, usual, 1, 0, 0)},
        {"the usual settings when otherwise equal", hit(9600, usual, 1, 0, 0), hit(9600, other, 1, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(BetterHit(c.better, c.worse));
        EXPECT_FALSE(BetterHit(c.worse, c.better));
    }
}

TEST(SerialProbeSearch, ThePortIsSetToEachSettingInTurnAndReportsBrokenCharacters)
{
    int master = -1, slave = -1;
    char path[256] = {};
    ASSERT_EQ(openpty(&master, &slave, path, nullptr, nullptr), 0);
    const std::unique_ptr<ProbeLine> line = OpenProbeLine(path);
    for (const auto& [baud, speed] : {std::pair{19200, B19200}, {1200, B1200}, {115200, B115200}}) {
        SCOPED_TRACE(baud);
        std::string error;
        ASSERT_TRUE(line->Reopen({baud, {8, 'N', 1}}, error)) << error;
        termios tio{};
        ASSERT_EQ(tcgetattr(master, &tio), 0); // a pseudo-terminal's master sees its slave's settings
        EXPECT_EQ(cfgetospeed(&tio), speed);
        EXPECT_TRUE(tio.c_iflag & INPCK);
        EXPECT_FALSE(tio.c_iflag & (IGNPAR | PARMRK));
    }
    ::close(slave);
    ::close(master);
}
