// Synchronous ReadWeight against a device with chosen readings, on a clock the test moves.
#include "ScaleTestSupport.h"

using namespace opos;

using ReadWeight = FakeScaleTest;
constexpr LONG kCapacity = FakeScaleDevice::kCapacity;

static FakeScaleDevice::Readings settlesAt(std::int64_t settleMs, LONG weight)
{
    return [=](std::int64_t t) { return t < settleMs ? ScaleReading{weight + LONG(t % 7), false} : ScaleReading{weight, true}; };
}

TEST_F(ReadWeight, WaitsForAStableNonZeroWeightUpToItsTimeoutAndOverCapacityIsOverweightUntilTheLoadComesOff)
{
    const struct {
        const char* what;
        FakeScaleDevice::Readings readings;
        LONG timeoutMs, expectedResult, expectedWeight; // the weight starts at -5
        std::int64_t expectedNow;                         // how long the call waited
    } cases[] = {
        {"settles in time", settlesAt(700, 2500), 1000, OPOS_SUCCESS, 2500, 700},
        {"settles too late", settlesAt(1200, 2500), 1000, OPOS_E_TIMEOUT, -5, 1000},
        {"empty platter", settlesAt(0, 0), 1000, OPOS_E_TIMEOUT, -5, 1000},
        {"zero looks once", settlesAt(10, 2500), 0, OPOS_E_TIMEOUT, -5, 0},
        {"zero, stable at capacity", settlesAt(0, kCapacity), 0, OPOS_SUCCESS, kCapacity, 0},
        {"forever", settlesAt(600000, 900), -1, OPOS_SUCCESS, 900, 600000},
        {"negative", settlesAt(0, 2500), -2, OPOS_E_ILLEGAL, -5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        readings = c.readings;
        clock.SetMs(0);
        ASSERT_TRUE(scale.Enable(name));
        EXPECT_EQ(scale.ClearInput(), OPOS_SUCCESS) << "clearing input keeps the scale readable";
        LONG weight = -5;
        EXPECT_EQ(scale.ReadWeight(weight, c.timeoutMs), c.expectedResult);
        EXPECT_EQ(weight, c.expectedWeight);
        EXPECT_EQ(clock.NowMs(), c.expectedNow);
        EXPECT_EQ(service->ResultCode(), c.expectedResult);
        ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    }
    readings = [](std::int64_t t) { return ScaleReading{t < 5000 ? kCapacity + 1 : 300, true}; };
    clock.SetMs(0);
    ASSERT_TRUE(scale.Enable(name));
    LONG weight = -5;
    EXPECT_EQ(scale.ReadWeight(weight, 1000), OPOS_E_EXTENDED);
    EXPECT_EQ(service->ResultCodeExtended(), OPOS_ESCAL_OVERWEIGHT);
    EXPECT_EQ(weight, -5);
    clock.SetMs(5000);
    EXPECT_EQ(scale.ReadWeight(weight, 1000), OPOS_SUCCESS);
    EXPECT_EQ(weight, 300);
    EXPECT_EQ(service->ResultCodeExtended(), 0);
}
