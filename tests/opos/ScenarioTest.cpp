// Simulated scales that play a scenario (`driver = simulated`, `scenario = FILE`), as the control
// and tarabo-scales show them: each phase's answers, and a broken file failing Open with its file
// and line.
#include "tests/opos/ScaleTestSupport.h"

#include "scales-tool/ScalesTool.h"

#include <sstream>

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
    // The section's lines (none: just the scenario), the scenario, and the error.
    const struct { std::string lines, text, error; } cases[] = {
        {"", "capacity = 15\n5s 1.250 kg\n", scenario + " line 2: a phase is DURATION WEIGHT [stable|moving]"},
        {"", "capacity = 15\n\n5 zero\n", scenario + " line 3: \"5\" is not a duration"},
        {"", "capacity = 15\n0s zero\n", scenario + " line 2: \"0s\" is not a duration"},
        {"", "capacity = 15\n2.5ms zero\n", scenario + " line 2: \"2.5ms\" is not a duration"},
        {"", "capacity = 15\n5s 1,250\n", scenario + " line 2: \"1,250\" is not a weight"},
        {"", "capacity = 15\n5s 1.2345\n", scenario + " line 2: \"1.2345\" is not a weight"},
        {"", "capacity = 15\n5s 1000000\n", scenario + " line 2: \"1000000\" is not a weight"},
        {"", "capacity = 15\n5s 1 ->\n", scenario + " line 2: a phase is"},
        {"", "capacity = 15\n5s 1 jiggling\n", scenario + " line 2: a phase is"},
        {"", "capacity = 15\n5s zero stable\n", scenario + " line 2: a phase is"},
        {"", "# no capacity\n5s 1.250\n", scenario + " line 2: the header needs a capacity before the first phase"},
        {"", "capacity = 0\n", scenario + " line 1: the capacity must be above zero"},
        {"", "capacity = 15\nunit = stone\n", scenario + " line 2: \"stone\" is not a unit (g, kg, oz or lb)"},
        {"", "capacity = 15\nzero-valid = maybe\n", scenario + " line 2: zero-valid is true or false"},
        {"", "capacity = 15\nCapacity = 6\n", scenario + " line 2: key \"capacity\" is given twice (first on line 1)"},
        {"", "capacity = 15\ncolour = red\n", scenario + " line 2: unknown key \"colour\""},
        {"", "capacity = 15\n5s zero\nunit = kg\n", scenario + " line 3: \"unit\": the header's keys come before the first phase"},
        {"", "capacity = 15\n# nothing else\n", scenario + " line 2: the scenario has no phases"},
        {"", "capacity = 15\n5s zero\n5s\0zero\n"s, scenario + " line 3: the line holds a NUL character"},
        {"", std::string(), scenario + " line 1: the scenario has no phases"},
        // The section's own keys name the configuration's file and line.
        {"scenario = missing.scenario\n", "", conf + " line 3: key \"scenario\": cannot read " + files.Path("missing.scenario")},
        {"scenario = .\n", "", conf + " line 3: key \"scenario\": " + files.Path(".") + " is not a file"},
        {"scenario = play.scenario\nloop = sometimes\n", "capacity = 15\n5s zero\n", conf + " line 4: key \"loop\": \"sometimes\" is neither true nor false"},
        {"start = -5\n", "capacity = 15\n5s zero\n", conf + " line 3: key \"start\": \"-5\" is not a whole number from 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines + c.text);
        Configure(c.lines.empty() ? "scenario = play.scenario\n" : c.lines, c.text);
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
        std::ostringstream out, err;
        EXPECT_EQ(RunScalesTool({"read", name}, out, err), r.status) << err.str();
        EXPECT_EQ(out.str(), r.out);
    }
    // A fresh machine: no configuration at all, and "K350" is the built-in scale.
    ConfigFilesOverride none({});
    std::ostringstream out, err;
    EXPECT_EQ(RunScalesTool({"read", "K350"}, out, err), 0) << out.str() << err.str();
    EXPECT_EQ(out.str(), "Tarabo simulated K350 retail scale (no hardware)\n1.250 Kg\n");
}
