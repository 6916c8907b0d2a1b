// The protocol families end to end: the control's ReadWeight against a fake scale of each family
// at the far end of a pseudo-terminal, in real time, sending the family's documented frames
// (every case of tests/answers/<protocol>.txt that reads at once, the first of those that keep a read
// waiting; the quick probe finds the family by each of those that read at once). Request/answer scales answer each request;
// streaming ones send unasked ten times a second; every frame comes after noise and the first
// half of another.
#include "tests/support/FakeSerialScale.h"
#include "tests/opos/ScaleTestSupport.h"
#include "tests/opos/SerialFrameCases.h"
#include "opos/serial/SerialProbe.h"
#include "opos/serial/SerialScale.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

using namespace opos;
using namespace serialcases;

namespace {
using Pieces = std::vector<std::string>;
constexpr int kStreamPeriodMs = 100;
constexpr int kSilenceMs = 300;

struct Family
{
    Protocol protocol;
    std::map<std::string, FrameCase> first; // by kind
    std::map<std::string, std::vector<FrameCase>> all; // by kind
    const ProtocolInfo& info() const { return Info(protocol); }
    const std::string& frame(const std::string& kind) const { return first.at(kind).bytes; }
};

std::vector<Family> families()
{
    std::map<Protocol, Family> byProtocol;
    for (const FrameCase& c : LoadFrameCases()) {
        Family& family = byProtocol.try_emplace(c.protocol, Family{c.protocol, {}}).first->second;
        // A zero weight reads as nothing unless zero is valid: the first weight above zero.
        if (c.kind != "weight" || c.expected.find(" 0 ") == std::string::npos) {
            family.first.try_emplace(c.kind, c);
            family.all[c.kind].push_back(c);
        }
    }
    std::vector<Family> out;
    for (auto& [protocol, family] : byProtocol)
        out.push_back(std::move(family));
    return out;
}

// Noise, the first half of a frame, then the whole frame in two pieces.
Pieces troubled(const std::string& frame)
{
    return {"\x7f#" + frame.substr(0, frame.size() / 2), frame.substr(0, 3), frame.substr(3)};
}

class SerialFamiliesTest : public ::testing::Test
{
protected:
    // `frames` gives the pieces of the n-th answer (or, streaming, the n-th frame).
    void Connect(const Family& family, std::function<Pieces(int n)> frames)
    {
        installation.reset();
        fake.reset();
        const ProtocolInfo& info = family.info();
        if (info.streaming) {
            fake = std::make_unique<FakeSerialScale>("", [frames](const std::string&, int n, std::int64_t) { return frames(n); },
                                                     kStreamPeriodMs);
        } else {
            // ENQ is answered ACK; DC1 (or the one request of the others) with the frame.
            const std::string terminators = info.followUp.empty() ? std::string(1, info.request.back())
                                                                  : std::string(info.request) + std::string(info.followUp);
            fake = std::make_unique<FakeSerialScale>(terminators, [&info, frames, this, n = 0](const std::string& request, int, std::int64_t) mutable {
                requests.push_back(request);
                return !info.followUp.empty() && request == info.request ? Pieces{"\x06"} : frames(n++);
            });
        }
        SerialSettings settings{fake->Path(), family.protocol, {info.baud, info.framing}};
        settings.silenceMs = kSilenceMs;
        installation = std::make_unique<DeviceOverride>(Wide(name), [settings] { return std::make_unique<SerialScale>(settings); });
    }

    std::string name = UniqueName("SERIALFAMILY");
    std::vector<std::string> requests; // written by the fake's thread; read once it is gone
    std::unique_ptr<FakeSerialScale> fake;
    std::unique_ptr<DeviceOverride> installation;
    std::shared_ptr<StandardScaleService> service = std::make_shared<StandardScaleService>();
    ServiceOverride serviceGuard{service};
    ScaleDriver scale;
};
}

TEST_F(SerialFamiliesTest, ReadWeightGivesEachFamilysFramesTheirResults)
{
    const struct {
        const char* what;
        std::string kind; // the frame sent, after the first two answers, which are `before`'s (none: silence)
        LONG timeoutMs, result, extended;
        std::optional<std::string> before = std::nullopt;
    } cases[] = {
        {"a stable weight", "weight", 3000, OPOS_SUCCESS, 0},
        {"two lost requests, then a weight", "weight", 3000, OPOS_SUCCESS, 0, ""},
        {"in motion, then settled within the time-out", "weight", 3000, OPOS_SUCCESS, 0, "motion"},
        {"in motion until the time-out", "motion", 700, OPOS_E_TIMEOUT, 0},
        {"over capacity", "over", 3000, OPOS_E_EXTENDED, OPOS_ESCAL_OVERWEIGHT},
        {"under zero", "under", 3000, OPOS_E_EXTENDED, OPOS_ESCAL_UNDERWEIGHT},
        {"bad check characters", "transmission-error", 3000, OPOS_E_FAILURE, 0},
        {"answers not understood: no fault of the scale", "not-understood", 700, OPOS_E_TIMEOUT, 0},
    };
    for (const Family& family : families()) {
        for (const auto& c : cases) {
            if (!family.first.count(c.kind) || (c.before && !c.before->empty() && !family.first.count(*c.before)))
                continue;
            // Every frame that gives a reading at once; of those that keep a read waiting to its
            // time-out or fail it only after three in a row, and of those after other answers, the first.
            const std::vector<FrameCase>& frames = family.all.at(c.kind);
            const bool every = (c.result == OPOS_SUCCESS || c.result == OPOS_E_EXTENDED) && !c.before;
            for (std::size_t n = 0; n < (every ? frames.size() : 1); ++n) {
                SCOPED_TRACE(std::string(family.info().name) + ": " + c.what + " (" + frames[n].where + ")");
                const std::string frame = frames[n].bytes;
                if (every) { // probe --quick finds the family at its usual settings
                    Connect(family, [frame](int) { return Pieces{frame}; });
                    std::string error;
                    const std::optional<ProbeHit> found = ProbeProtocol(fake->Path(), error);
                    EXPECT_EQ(found ? Info(found->protocol).name : error, family.info().name);
                }
                const Pieces before = c.before && !c.before->empty() ? Pieces{family.frame(*c.before)} : Pieces{};
                Connect(family, [frame, before, skip = c.before.has_value()](int k) { return skip && k < 2 ? before : troubled(frame); });
                ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
                LONG weight = -5;
                EXPECT_EQ(scale.ReadWeight(weight, c.timeoutMs), c.result);
                EXPECT_EQ(service->ResultCodeExtended(), c.extended);
                if (c.result == OPOS_SUCCESS) {
                    // "weight 1250 kg": the frame's unit, or the configured kilogram where it says none.
                    const std::string& expected = frames[n].expected;
                    EXPECT_EQ("weight " + std::to_string(weight) + " " + UnitName(scale.WeightUnit()),
                              expected.ends_with(" -") ? expected.substr(0, expected.size() - 1) + "kg" : expected);
                    const char* const convention = "check character over SOH and STX too"; // as the row's source notes it
                    EXPECT_EQ(scale.Description().str().find(convention) != std::string::npos,
                              frames[n].source.find(convention) != std::string::npos) << scale.Description().str();
                } else {
                    EXPECT_EQ(weight, -5);
                }
                if (c.kind == "not-understood") { // its bytes shown, at least those between its control characters
                    const auto printable = [](char ch) { return static_cast<unsigned char>(ch) >= 0x20; };
                    std::string hex;
                    for (auto byte = std::find_if(frame.begin(), frame.end(), printable);
                         byte < std::find_if(frame.rbegin(), frame.rend(), printable).base(); ++byte)
                        hex += {' ', "0123456789ABCDEF"[(*byte >> 4) & 15], "0123456789ABCDEF"[*byte & 15]};
                    const std::string shown = scale.Description().str();
                    EXPECT_NE(shown.find(hex, shown.find("answer not understood:")), std::string::npos) << shown;
                }
                EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
            }
        }
    }
}

TEST_F(SerialFamiliesTest, AStreamingReadTakesOnlyAFrameSentAfterItBegan)
{
    for (const Family& family : families()) {
        if (!family.info().streaming)
            continue;
        SCOPED_TRACE(family.info().name);
        auto paused = std::make_shared<std::atomic<bool>>(false);
        Connect(family, [&family, paused](int) { return *paused ? Pieces{} : Pieces{family.frame("weight")}; });
        ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
        LONG weight = -5;
        EXPECT_EQ(scale.ReadWeight(weight, 2000), OPOS_SUCCESS);
        // Stable frames wait in the line's buffer; then the scale pauses, and once it has sent
        // nothing for a whole period no frame is on its way either.
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * kStreamPeriodMs));
        *paused = true;
        const int pausedAt = fake->Requests();
        while (fake->Requests() < pausedAt + 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        weight = -5;
        EXPECT_EQ(scale.ReadWeight(weight, kSilenceMs / 2), OPOS_E_TIMEOUT) << "a frame from before the read";
        EXPECT_EQ(weight, -5);
        *paused = false;
        EXPECT_EQ(scale.ReadWeight(weight, 2000), OPOS_SUCCESS);
        EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}

TEST_F(SerialFamiliesTest, DirectIOFiveZeroesAnSmaScale)
{
    for (const Family& family : families()) {
        SCOPED_TRACE(family.info().name);
        const std::string frame = family.frame("weight");
        Connect(family, [frame](int) { return Pieces{frame}; });
        ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
        LONG data = 0;
        BSTR text = nullptr;
        const bool zeroes = !family.info().zeroRequest.empty();
        EXPECT_EQ(scale.DirectIO(5, data, text), zeroes ? OPOS_SUCCESS : OPOS_E_ILLEGAL);
        LONG weight = -5;
        EXPECT_EQ(scale.ReadWeight(weight, 2000), OPOS_SUCCESS); // the zero request reached the fake first
        SysFreeString(text);
        EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
        fake.reset();
        EXPECT_EQ(!requests.empty() && requests.front() == std::string(family.info().zeroRequest), zeroes);
        requests.clear();
    }
}

TEST(SerialFamiliesConfig, TimeoutSetsAStreamingScalesSilenceAndIsRefusedForTheOthers)
{
    const TestConfigFiles files;
    const std::string name = UniqueName("SERIALSTREAMCONF");
    FakeSerialScale silent("", [](const std::string&, int, std::int64_t) { return Pieces{}; }, kStreamPeriodMs);
    const struct {
        std::string settings;
        LONG open;
        const char* description;
    } cases[] = {
        {"protocol = text-stream\ntimeout = 400\n", OPOS_SUCCESS, "Comma-separated text stream scale on /dev/pts/"},
        {"protocol = sma\ntimeout = 400\n", OPOS_E_NOEXIST, "key \"timeout\": only a scale that streams its weight (toledo-continuous-checksum, toledo-continuous, text-stream)"},
        {"protocol = toledo-continuous\ntimeout = 10\n", OPOS_E_NOEXIST, "key \"timeout\""},
        {"protocol = toledo-continuous-checksum\nchecksum = sum\ntimeout = 400\n", OPOS_SUCCESS, "Toledo continuous output (checked) scale on"},
        {"protocol = toledo-continuous\nchecksum = sum\n", OPOS_E_NOEXIST, "key \"checksum\": only toledo-continuous-checksum takes"},
        {"protocol = toledo-continuous-checksum\nchecksum = crc\n", OPOS_E_NOEXIST, "key \"checksum\": \"crc\" is not a checksum"},
    };
    ScaleDriver scale;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        files.Write("[" + name + "]\ndriver = serial\ndevice = " + silent.Path() + "\n" + c.settings);
        EXPECT_EQ(scale.Open(name), c.open);
        EXPECT_NE(scale.Description().str().find(c.description), std::string::npos) << scale.Description().str();
        if (c.open != OPOS_SUCCESS)
            continue;
        ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
        scale.SetDeviceEnabled(true);
        LONG weight = -5;
        EXPECT_EQ(scale.ReadWeight(weight, 5000), OPOS_E_OFFLINE);
        EXPECT_NE(scale.Description().str().find("no frame for more than 400 ms"), std::string::npos) << scale.Description().str();
        EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}
