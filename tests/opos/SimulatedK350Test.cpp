// The simulated K350's Direct IO over its cycle. (Its cycle as reads see it: the console's
// simulatedScaleRunsOpenReadsLoopAndClose; the scenario engine: ScenarioTest.)
#include "tests/opos/ScaleTestSupport.h"

using namespace opos;

namespace {

class SimulatedK350Scale : public ::testing::Test
{
protected:
    static constexpr std::int64_t kOpenedAt = 100000; // the cycle counts from the open
    ManualClock clock{kOpenedAt};
    ClockOverride clockGuard{clock};
    std::string name = UniqueName("K350");
    DeviceOverride device{Wide(name), [this] { return std::make_unique<SimulatedK350>(clock.NowMs()); }};
    ScaleDriver scale;
};

}

TEST_F(SimulatedK350Scale, DirectIOReportsWeightStatusAndRejectsUnknownCommands)
{
    const struct { const char* behaviour; std::int64_t cycleMs; LONG command, result, data; const char* text; } steps[] = {
        {"empty platter is invalid", 24000, 4, OPOS_SUCCESS, 0, " (empty)"},
        {"settled weight is new", 1000 + 30000, 4, OPOS_SUCCESS, 1, " 1.250 Kg"},
        {"same weight again is unchanged", 3000 + 30000, 4, OPOS_SUCCESS, 21, " 1.250 Kg"},
        {"moving load is invalid", 6000 + 30000, 4, OPOS_SUCCESS, 0, " (in motion)"},
        {"an invalid weight in between makes the same weight new again", 1000 + 60000, 4, OPOS_SUCCESS, 1, " 1.250 Kg"},
        {"another weight is new", 8000 + 60000, 4, OPOS_SUCCESS, 1, " 3.480 Kg"},
        {"overload is invalid", 15000 + 60000, 4, OPOS_SUCCESS, 0, " (over capacity)"},
        {"unknown command is illegal and leaves the data alone", 15000 + 60000, 99, OPOS_E_ILLEGAL, -7, ""},
    };
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS); // Direct IO needs no claim
    for (const auto& s : steps) {
        SCOPED_TRACE(s.behaviour);
        clock.SetMs(kOpenedAt + s.cycleMs);
        LONG data = -7;
        BSTR string = nullptr;
        EXPECT_EQ(scale.DirectIO(s.command, data, string), s.result);
        EXPECT_EQ(data, s.data);
        EXPECT_EQ(AfxTextFromBstr(string), s.text);
        SysFreeString(string);
    }
    EXPECT_EQ(WeightReport::FormatWeight(15000, SCAL_WU_KILOGRAM), u"15.000 Kg") << "the field grows for two-digit kilograms";
    EXPECT_EQ(WeightReport::FormatWeight(5, SCAL_WU_KILOGRAM), u" 0.005 Kg");
    EXPECT_EQ(WeightReport::FormatWeight(-250, SCAL_WU_OUNCE), u"-0.250 oz");
}
