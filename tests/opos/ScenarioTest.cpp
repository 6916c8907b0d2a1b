// Simulated scales that play a scenario (`driver = simulated`, `scenario = FILE`), as the control
// and tarabo-scales show them: each phase's answers, and a broken file failing Open with its file
// and line.
#include "tests/support/AnswerCorpus.h"
#include "tests/opos/ScaleTestSupport.h"

#include "scales-tool/ScalesTool.h"


using namespace opos;
using namespace std::string_literals;

namespace {

class ScenarioPlay : public ::testing::Test
{
protected:
    TestConfigFiles files;
    std::string name = UniqueName("SIM");
    ManualClock clock{0};
    ClockOverride clockGuard{clock};
    ScaleDriver scale;

    // Configures the name as a simulated scale with the section's other lines, and the scenario
    // `play.scenario` beside the configuration.
    void Configure(const std::string& lines, const std::string& scenario = "")
    {
        files.Write("[" + name + "]\ndriver = simulated\n" + lines);
        files.Write(scenario, "play.scenario");
    }
    std::string Description() { return scale.Description().str(); }
};

const std::string kCablePulled = "scenario = " SALE_CABLE_PULLED_SCENARIO "\n";
const std::string kEveryState = "unit = lb\ncapacity = 2\nzero-valid = true\n"
                                "1s zero\n1s under\n1s over\n1s fault\n1s offline\n"
                                "1s 2.5\n1s -0.020\n2s 0 -> -0.080 stable\n1s 1 moving\n1s 1->0\n1s 2\n";

}

TEST_F(ScenarioPlay, EachPhaseGivesItsAnswersAndLoopStartAndZeroValidShapeThePlay)
{
    struct Point
    {
        std::int64_t ms;
        LONG result, weight;
        const char* status; // Direct IO 4's text, "" when it has none (the scale is gone)
    };
    const struct { const char* behaviour; std::string lines, scenario; std::vector<Point> points; } plays[] = {
        {"without loop the end of the last phase holds", kCablePulled + "loop = false\n", "",
         {{21999, OPOS_SUCCESS, 482, " 0.482 Kg"}, {90000, OPOS_SUCCESS, 482, " 0.482 Kg"}}},
        {"start begins part-way", kCablePulled + "start = 9000\n", "",
         {{0, OPOS_E_OFFLINE, 0, ""}, {8000, OPOS_SUCCESS, 482, " 0.482 Kg"}, {13000, OPOS_E_TIMEOUT, 0, " (empty)"}}},
        {"every state; the header makes zero a weight", "scenario = play.scenario\n", kEveryState,
         {{0, OPOS_SUCCESS, 0, " 0.000 lb"}, {1000, OPOS_E_EXTENDED, 0, " (under zero)"}, {2000, OPOS_E_EXTENDED, 0, " (over capacity)"},
          {3000, OPOS_E_FAILURE, 0, " (fault)"}, {4000, OPOS_E_OFFLINE, 0, ""}, {5000, OPOS_E_EXTENDED, 0, " (over capacity)"},
          {6000, OPOS_E_EXTENDED, 0, " (under zero)"}, {7100, OPOS_SUCCESS, 0, " 0.000 lb"}, {8000, OPOS_E_EXTENDED, 0, " (under zero)"},
          {9000, OPOS_E_TIMEOUT, 0, " (in motion)"}, {10000, OPOS_E_TIMEOUT, 0, " (in motion)"},
          {11000, OPOS_SUCCESS, 2000, " 2.000 lb"}}}, // the capacity itself is a weight
        {"the section's zero-valid wins over the header's", "scenario = play.scenario\nzero-valid = false\n", kEveryState,
         {{0, OPOS_E_TIMEOUT, 0, " (empty)"}}},
    };
    for (const auto& play : plays) {
        SCOPED_TRACE(play.behaviour);
        Configure(play.lines, play.scenario);
        const std::int64_t openedAt = clock.NowMs();
        ASSERT_TRUE(scale.Enable(name)) << Description();
        for (const Point& p : play.points) {
            SCOPED_TRACE("at " + std::to_string(p.ms) + " ms");
            clock.SetMs(openedAt + p.ms);
            LONG weight = 0, data = 0;
            BSTR status = nullptr;
            EXPECT_EQ(scale.ReadWeight(weight, 0), p.result);
            EXPECT_EQ(weight, p.weight);
            EXPECT_EQ(scale.DirectIO(4, data, status), *p.status ? OPOS_SUCCESS : OPOS_E_OFFLINE);
            EXPECT_EQ(AfxTextFromBstr(status), p.status);
            SysFreeString(status);
        }
        EXPECT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}

TEST_F(ScenarioPlay, ABrokenScenarioFailsOpenWithItsFileAndLine)
{
    const std::string scenario = files.Path("play.scenario"), conf = files.Path();
    for (const answers::BadFile& c : answers::LoadBadFiles("scenarios.txt")) {
        SCOPED_TRACE(c.where);
        Configure("scenario = play.scenario\n", c.text);
        EXPECT_EQ(scale.Open(name), OPOS_E_NOEXIST);
        EXPECT_EQ(Description().find(scenario + " " + c.error), 0u) << Description();
    }
    // The section's own keys name the configuration's file and line: its lines, the scenario, the error.
    const struct { std::string lines, text, error; } cases[] = {
        {"scenario = missing.scenario\n", "", conf + " line 3: key \"scenario\": cannot read " + files.Path("missing.scenario")},
        {"scenario = .\n", "", conf + " line 3: key \"scenario\": " + files.Path(".") + " is not a file"},
        {"scenario = play.scenario\nloop = sometimes\n", "capacity = 15\n5s zero\n", conf + " line 4: key \"loop\": \"sometimes\" is neither true nor false"},
        {"start = -5\n", "capacity = 15\n5s zero\n", conf + " line 3: key \"start\": \"-5\" is not a whole number from 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        Configure(c.lines, c.text);
        EXPECT_EQ(scale.Open(name), OPOS_E_NOEXIST);
        EXPECT_EQ(Description().find(c.error), 0u) << Description();
    }
}

TEST_F(ScenarioPlay, TaraboScalesReadsTheBuiltInK350AtOnceAndAConfiguredScenarioAtItsStart)
{
    const struct { std::string lines; int status; std::string out; } reads[] = {
        {"", 0, "Tarabo simulated K350 retail scale (no hardware)\n1.250 Kg\n"},
        {kCablePulled + "start = 5000\n", 0, "Counter scale, cable pulled mid-sale\n0.482 Kg\n"},
        {kCablePulled + "start = 9000\n", 1, "Counter scale, cable pulled mid-sale\nReadWeight: OPOS_E_OFFLINE (0000006c)\n"},
        {kCablePulled + "start = 4000\n", 0, "Counter scale, cable pulled mid-sale\n0.482 Kg\n"}, // waits for it to settle
    };
    for (const auto& r : reads) {
        SCOPED_TRACE(r.lines);
        Configure(r.lines);
        StringOut out, err;
        EXPECT_EQ(RunScalesTool({"read", name}, out, err), r.status) << err.str();
        EXPECT_EQ(out.str(), r.out);
    }
    // A fresh machine: no configuration at all, and "K350" is the built-in scale.
    ConfigFilesOverride none({});
    StringOut out, err;
    EXPECT_EQ(RunScalesTool({"read", "K350"}, out, err), 0) << out.str() << err.str();
    EXPECT_EQ(out.str(), "Tarabo simulated K350 retail scale (no hardware)\n1.250 Kg\n");
}
