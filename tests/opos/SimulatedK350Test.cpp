// The simulated K350: its weighing cycle as a once-a-second ReadWeight sees it, and its Direct IO.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace opos;

namespace {

class SimulatedK350Scale : public ::testing::Test
{
protected:
    static constexpr std::int64_t kOpenedAt = 100000; // the cycle counts from the open
    ManualClock clock{kOpenedAt};
    ClockOverride clockGuard{clock};
    std::string name = UniqueName("K350");
    DeviceInstallation device{Wide(name), [this] { return std::make_unique<SimulatedK350>(clock.NowMs()); }};
    ScaleDriver scale;

    void Enable()
    {
        ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
        ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
        scale.SetDeviceEnabled(true);
    }

    // One look at the scale, as the console's loop takes it, at a time into the cycle.
    LONG ReadAt(std::int64_t cycleMs, LONG& weight)
    {
        clock.SetMs(kOpenedAt + cycleMs);
        return scale.ReadWeight(weight, 0);
    }

    LONG DirectIOAt(std::int64_t cycleMs, LONG command, LONG& data, std::string& text)
    {
        clock.SetMs(kOpenedAt + cycleMs);
        BSTR string = nullptr;
        const LONG result = scale.DirectIO(command, data, string);
        text = AfxTextFromBstr(string).str();
        SysFreeString(string);
        return result;
    }
};

struct CyclePoint
{
    std::int64_t cycleMs;
    LONG result;
    LONG weight; // when the result is success
};

}

TEST_F(SimulatedK350Scale, AnswersAsThe15KilogramSimulatedScale)
{
    ScaleDriver closed;
    Enable();
    EXPECT_NE(scale.Description().str().find("simulated"), std::string::npos);
    EXPECT_EQ(scale.MaximumWeight(), 15000);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_KILOGRAM);
    EXPECT_EQ(closed.Open("K350"), OPOS_SUCCESS) << "K350 needs no set-up";
    EXPECT_EQ(closed.MaximumWeight(), 15000);
}

TEST_F(SimulatedK350Scale, CycleGoesFromEmptyThroughTwoWeightsAndOverloadToEmpty)
{
    Enable();
    const CyclePoint points[] = {
        {0, OPOS_E_TIMEOUT, 0},        {4000, OPOS_E_TIMEOUT, 0},     {6000, OPOS_E_TIMEOUT, 0},
        {9000, OPOS_SUCCESS, 1250},    {12000, OPOS_SUCCESS, 1250},   {14000, OPOS_E_TIMEOUT, 0},
        {16000, OPOS_SUCCESS, 3480},   {19000, OPOS_SUCCESS, 3480},   {23000, OPOS_E_EXTENDED, 0},
        {26000, OPOS_E_TIMEOUT, 0},    {28000, OPOS_E_TIMEOUT, 0},    {30000 + 9000, OPOS_SUCCESS, 1250},
    };
    for (const CyclePoint& p : points) {
        SCOPED_TRACE("at " + std::to_string(p.cycleMs) + " ms");
        LONG weight = 0;
        EXPECT_EQ(ReadAt(p.cycleMs, weight), p.result);
        if (p.result == OPOS_SUCCESS) {
            EXPECT_EQ(weight, p.weight);
        }
    }
}

TEST_F(SimulatedK350Scale, OnceASecondReadingShowsEveryKindOfAnswer)
{
    Enable();
    std::set<LONG> results, stableWeights;
    for (std::int64_t second = 0; second < 30; ++second) {
        LONG weight = 0;
        const LONG result = ReadAt(second * 1000, weight);
        results.insert(result);
        if (result == OPOS_SUCCESS)
            stableWeights.insert(weight);
    }
    EXPECT_EQ(results, (std::set<LONG>{OPOS_SUCCESS, OPOS_E_TIMEOUT, OPOS_E_EXTENDED}));
    EXPECT_GE(stableWeights.size(), 2u);
}

TEST_F(SimulatedK350Scale, ItemBeingPlacedGivesChangingUnstableWeightsThenSettles)
{
    SimulatedK350 k350(0);
    std::set<LONG> seen;
    for (std::int64_t t = 5000; t < 8000; t += 250) {
        const ScaleReading r = k350.ReadingAt(t);
        EXPECT_FALSE(r.stable) << t;
        EXPECT_GT(r.weight, 0) << t;
        seen.insert(r.weight);
    }
    EXPECT_GT(seen.size(), 5u);
    EXPECT_TRUE(k350.ReadingAt(8000).stable);
    EXPECT_EQ(k350.ReadingAt(8000).weight, 1250);

    Enable();
    LONG weight = 0;
    clock.SetMs(kOpenedAt + 7000);
    EXPECT_EQ(scale.ReadWeight(weight, 2000), OPOS_SUCCESS) << "a read in motion waits for the settle";
    EXPECT_EQ(weight, 1250);
    EXPECT_EQ(clock.NowMs(), kOpenedAt + 8000);
}

TEST_F(SimulatedK350Scale, DirectIOReportsWeightStatusAndRejectsUnknownCommands)
{
    struct Step
    {
        std::int64_t cycleMs;
        LONG command;
        LONG result;
        LONG data;
        const char* text;
    };
    const Step steps[] = {
        {2000, 4, OPOS_SUCCESS, 0, " (empty)"},
        {9000, 4, OPOS_SUCCESS, 1, " 1.250 Kg"},
        {11000, 4, OPOS_SUCCESS, 21, " 1.250 Kg"},      // unchanged since the last query
        {16000, 4, OPOS_SUCCESS, 1, " 3.480 Kg"},
        {14000 + 30000, 4, OPOS_SUCCESS, 0, " (in motion)"},
        {23000 + 30000, 4, OPOS_SUCCESS, 0, " (over capacity)"},
        {9000 + 60000, 4, OPOS_SUCCESS, 1, " 1.250 Kg"}, // new again after an invalid reading
        {9000 + 60000, 99, OPOS_E_ILLEGAL, -7, ""},
    };
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS); // Direct IO needs no claim
    for (const Step& s : steps) {
        SCOPED_TRACE("command " + std::to_string(s.command) + " at " + std::to_string(s.cycleMs));
        LONG data = -7;
        std::string text;
        EXPECT_EQ(DirectIOAt(s.cycleMs, s.command, data, text), s.result);
        EXPECT_EQ(data, s.data);
        EXPECT_EQ(text, s.text);
    }
}

TEST(SimulatedK350Format, WeightTextShowsKilogramsWithThreeDecimals)
{
    EXPECT_EQ(SimulatedK350::FormatWeight(1250), u" 1.250 Kg");
    EXPECT_EQ(SimulatedK350::FormatWeight(15000), u"15.000 Kg");
    EXPECT_EQ(SimulatedK350::FormatWeight(5), u" 0.005 Kg");
}
