// The simulated K350: its weighing cycle as a once-a-second ReadWeight sees it, and its Direct IO.
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

TEST_F(SimulatedK350Scale, CycleStartsSettledThenGoesThroughASecondWeightOverloadAndEmptyAndAReadInMotionWaits)
{
    ASSERT_TRUE(scale.Enable(name));
    LONG weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 0), OPOS_SUCCESS) << "the first read after Open shows a weight at once";
    EXPECT_EQ(weight, 1250);
    clock.SetMs(kOpenedAt + 29000);
    weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 2000), OPOS_SUCCESS);
    EXPECT_EQ(weight, 1250);
    EXPECT_EQ(clock.NowMs(), kOpenedAt + 30000) << "the read waited for the weight to settle";
    EXPECT_NE(scale.Description().str().find("simulated"), std::string::npos);
    EXPECT_EQ(scale.MaximumWeight(), 15000);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_KILOGRAM);
    const struct { std::int64_t cycleMs; LONG result, weight; } points[] = {
        {22000, OPOS_E_TIMEOUT, 0},  {28000, OPOS_E_TIMEOUT, 0},     {1000, OPOS_SUCCESS, 1250},
        {6000, OPOS_E_TIMEOUT, 0},   {8000, OPOS_SUCCESS, 3480},     {15000, OPOS_E_EXTENDED, 0},
        {20000, OPOS_E_TIMEOUT, 0},  {30000 + 1000, OPOS_SUCCESS, 1250},
    };
    for (const auto& p : points) {
        SCOPED_TRACE("at " + std::to_string(p.cycleMs) + " ms");
        clock.SetMs(kOpenedAt + p.cycleMs);
        weight = 0; // a failed read leaves it alone
        EXPECT_EQ(scale.ReadWeight(weight, 0), p.result);
        EXPECT_EQ(weight, p.weight);
    }
    EXPECT_EQ(ScaleDriver().Open("K350"), OPOS_SUCCESS) << "K350 needs no set-up";
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
