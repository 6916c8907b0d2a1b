// Synchronous ReadWeight against a device with chosen readings, on a clock the test moves.
#include "tests/opos/ScaleTestSupport.h"

using namespace opos;

using ReadWeight = FakeScaleTest;

static FakeScaleDevice::Readings settlesAt(std::int64_t settleMs, ScaleReading settled)
{
    return [=](std::int64_t t) { return t < settleMs ? ScaleReading{ScaleStatus::InMotion, LONG(t % 7)} : settled; };
}

TEST_F(ReadWeight, WaitsForASettledReadingUpToItsTimeoutAndMapsEachStatusToItsResult)
{
    const ScaleReading stable{ScaleStatus::Stable, 2500};
    const struct {
        const char* what;
        FakeScaleDevice::Readings readings;
        LONG timeoutMs, expectedResult, expectedExtended, expectedWeight; // the weight starts at -5
        std::int64_t expectedNow;                                           // how long the call waited
    } cases[] = {
        {"settles in time", settlesAt(700, stable), 1000, OPOS_SUCCESS, 0, 2500, 700},
        {"settles too late", settlesAt(1200, stable), 1000, OPOS_E_TIMEOUT, 0, -5, 1000},
        {"empty platter waits", settlesAt(0, {ScaleStatus::StableZero, 0}), 1000, OPOS_E_TIMEOUT, 0, -5, 1000},
        {"zero looks once", settlesAt(10, stable), 0, OPOS_E_TIMEOUT, 0, -5, 0},
        {"zero, already stable", settlesAt(0, stable), 0, OPOS_SUCCESS, 0, 2500, 0},
        {"forever", settlesAt(600000, {ScaleStatus::Stable, 900}), -1, OPOS_SUCCESS, 0, 900, 600000},
        {"negative time-out", settlesAt(0, stable), -2, OPOS_E_ILLEGAL, 0, -5, 0},
        {"over capacity once it settles", settlesAt(300, {ScaleStatus::OverCapacity, 16000}), 1000, OPOS_E_EXTENDED,
         OPOS_ESCAL_OVERWEIGHT, -5, 300},
        {"under zero", settlesAt(0, {ScaleStatus::UnderZero, -20}), 1000, OPOS_E_EXTENDED, OPOS_ESCAL_UNDERWEIGHT, -5, 0},
        {"fault", settlesAt(100, {ScaleStatus::Fault, 0}), 1000, OPOS_E_FAILURE, 0, -5, 100},
        {"gone", settlesAt(100, {ScaleStatus::Gone, 0}), 1000, OPOS_E_OFFLINE, 0, -5, 100},
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
        EXPECT_EQ(service->ResultCodeExtended(), c.expectedExtended);
        ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}
