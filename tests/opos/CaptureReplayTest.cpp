// Captures: the parser's answer to every kind of bad line, and captures replayed behind a logical
// name giving the control the results recorded.
#include "tests/support/AnswerCorpus.h"
#include "tests/opos/HidTestScale.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/replay/Capture.h"

#include <sstream>

using namespace opos;

namespace {


TEST(CaptureParser, EveryBadLineIsAnErrorNamingTheFileAndLine)
{
    for (const answers::BadFile& c : answers::LoadBadFiles("captures.txt")) {
        SCOPED_TRACE(c.where);
        try {
            ParseCapture(c.text, "f.cap");
            ADD_FAILURE() << "accepted";
        } catch (const CaptureError& error) {
            EXPECT_EQ(std::string(error.what()).find(c.error), 0u) << error.what();
        }
    }
}

// A result of ReadWeight: the result code, the extended one and the weight on success.
struct Result
{
    LONG result, extended, weight;
    bool operator==(const Result&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Result& r) { return out << r.result << "/" << r.extended << "/" << r.weight; }

// Captures replayed behind a logical name. Recording then replaying is checked where a
// technician does it: tarabo-scales record, then monitor (MonitorTest), and the captures that
// tool recorded on either platform (below).
class ReplayRoundTrip : public ::testing::Test
{
protected:
    static Result Read(ScaleDriver& scale, const std::shared_ptr<StandardScaleService>& service)
    {
        LONG weight = -1;
        const LONG result = scale.ReadWeight(weight, 2000);
        return {result, service->ResultCodeExtended(), result == OPOS_SUCCESS ? weight : 0};
    }

    std::string name = UniqueName("REPLAY");
    TestConfigFiles conf;
    std::shared_ptr<StandardScaleService> service = std::make_shared<StandardScaleService>();
    ServiceOverride serviceGuard{service};
};

TEST_F(ReplayRoundTrip, HidReplayKeepsDeliveringWhileReportsAreDue)
{
    // Many long reports due at once, more than a look takes in, the settled one last.
    CaptureHeader header;
    header.driver = "hid";
    header.descriptor = hidtest::kScaleDescriptor;
    std::string capture = CaptureHeaderText(header);
    CaptureBytes moving(1000), settled{0x03, 0x04, 0x02, 0x00, 0xE2, 0x04};
    std::copy_n(settled.begin(), settled.size(), moving.begin());
    moving[1] = 0x03;
    for (int i = 0; i < 300; ++i)
        capture += CaptureEventLine({0, CaptureDirection::Received, moving});
    capture += CaptureEventLine({0, CaptureDirection::Received, settled});
    conf.Write(capture, "flood.cap");
    conf.Write("[" + name + "]\ndriver = replay\nfile = flood.cap\n");
    ScaleDriver scale;
    ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
    EXPECT_EQ(Read(scale, service), (Result{OPOS_SUCCESS, 0, 1250000}));
}

TEST_F(ReplayRoundTrip, ABadCaptureFailsOpenNamingTheFileAndLine)
{
    const struct { const char* conf; const char* capture; LONG result; const char* description; } cases[] = {
        {"file = missing.cap\n", nullptr, OPOS_E_NOHARDWARE, "missing.cap: cannot read the capture"},
        {"file = bad.cap\n", "tarabo-capture 1\ndriver: hid\n", OPOS_E_NOEXIST, "bad.cap line 2: the header ends"},
        {"file = bad.cap\nspeed = fast\n", "", OPOS_E_NOEXIST, "key \"speed\": \"fast\" is not a speed"},
        {"file = bad.cap\nspeed = 2.5e\n", "", OPOS_E_NOEXIST, "key \"speed\": \"2.5e\" is not a speed"},
        {"loop = true\n", "", OPOS_E_NOEXIST, "no file given"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.conf);
        if (c.capture)
            conf.Write(c.capture, "bad.cap");
        conf.Write("[" + name + "]\ndriver = replay\n" + c.conf);
        ScaleDriver scale;
        EXPECT_EQ(scale.Open(name), c.result);
        EXPECT_NE(scale.Description().str().find(c.description), std::string::npos) << scale.Description().str();
    }
}

}

TEST_F(ReplayRoundTrip, ACaptureEndsInSilenceUnlessItLoops)
{
    // The second was written by hand: no answer to the identity MT-SICS asks for at Open.
    const char* const captures[] = {"tarabo-capture 1\ndriver: serial\nprotocol: toledo\nevents:\n0 > 57\n3 < 02 30 30 31 2e 32 35 0d\n",
                                    "tarabo-capture 1\ndriver: serial\nprotocol: sics\nevents:\n"
                                    "0 > 53 49 0d 0a\n1 < 53 20 53 20 31 2e 32 35 20 6b 67 0d 0a\n"};
    for (const char* capture : captures) {
        conf.Write(capture, "one.cap");
        for (const bool loop : {false, true}) {
            SCOPED_TRACE(std::string(capture) + (loop ? "loop" : "once"));
            conf.Write("[" + name + "]\ndriver = replay\nfile = one.cap\nloop = " + (loop ? "true" : "false") + "\n");
            ScaleDriver scale;
            ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
            EXPECT_EQ(Read(scale, service), (Result{OPOS_SUCCESS, 0, 1250}));
            LONG weight = 0;
            EXPECT_EQ(scale.ReadWeight(weight, 200), loop ? OPOS_SUCCESS : OPOS_E_TIMEOUT);
            scale.Close();
        }
    }
}

TEST_F(ReplayRoundTrip, CapturesRecordedOnEitherPlatformReplay)
{
    // tarabo-scales record on Linux and on Windows (under Wine), of the same fake Toledo scale in
    // motion for three requests and settled at the fourth; tests/windows plays them the other way.
    for (const char* file : {"toledo-linux.cap", "toledo-windows.cap"}) {
        SCOPED_TRACE(file);
        conf.Write("[" + name + "]\ndriver = replay\nfile = " TARABO_ANSWERS_DIR "/captures/" + file + "\n");
        ScaleDriver scale;
        ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
        EXPECT_EQ(Read(scale, service), (Result{OPOS_SUCCESS, 0, 1250}));
        scale.Close();
    }
}

TEST_F(ReplayRoundTrip, SpeedTwoPlaysHidReportsTwiceAsFast)
{
    // After the stale first report, 1.250 kg at once and 2.000 kg 4 s later: at speed 2, 2 s later.
    const CaptureHeader hid{"t 1", "hid", "", "", "", "", 0, "Shipping", 0x0922, 0x8003, hidtest::kScaleDescriptor, {hidtest::kLimit15kg}};
    std::string capture = CaptureHeaderText(hid);
    for (const CaptureEvent& event : {CaptureEvent{0, CaptureDirection::Received, {0x03, 0x04, 0x03, 0xFD, 0xF4, 0x01}},
                                      CaptureEvent{1, CaptureDirection::Received, {0x03, 0x04, 0x03, 0xFD, 0xE2, 0x04}},
                                      CaptureEvent{4000, CaptureDirection::Received, {0x03, 0x04, 0x03, 0xFD, 0xD0, 0x07}}})
        capture += CaptureEventLine(event);
    conf.Write(capture, "slow.cap");
    conf.Write("[" + name + "]\ndriver = replay\nfile = slow.cap\nspeed = 2\n");
    ScaleDriver scale;
    ASSERT_TRUE(scale.Enable(name)) << scale.Description().str();
    EXPECT_EQ(Read(scale, service), (Result{OPOS_SUCCESS, 0, 1250}));
    scale.ClearInput();
    LONG weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 1000), OPOS_E_TIMEOUT) << "not before 2 s";
    EXPECT_EQ(Read(scale, service), (Result{OPOS_SUCCESS, 0, 2000})) << "by 3 s, long before 4";
    scale.Close();
}
