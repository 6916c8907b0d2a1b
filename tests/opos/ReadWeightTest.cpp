// Synchronous ReadWeight against a device with chosen readings, on a clock the test moves.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

using namespace opos;

namespace {

constexpr LONG kCapacity = 15000;

class ReadWeight : public ::testing::Test
{
protected:
    ManualClock clock{0};
    ClockOverride clockGuard{clock};
    std::string name = UniqueName("READ");
    FakeScaleDevice::Readings readings;
    DeviceInstallation device{Wide(name), [this] { return std::make_unique<FakeScaleDevice>(readings, kCapacity); }};
    std::shared_ptr<StandardScaleService> service = std::make_shared<StandardScaleService>();
    ServiceOverride serviceGuard{service};
    ScaleDriver scale;

    void Enable()
    {
        ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
        ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
        scale.SetDeviceEnabled(true);
        ASSERT_EQ(service->ResultCode(), OPOS_SUCCESS);
    }
};

ScaleReading settlesAt(std::int64_t t, std::int64_t settleMs, LONG weight)
{
    return t < settleMs ? ScaleReading{weight + LONG(t % 7), false} : ScaleReading{weight, true};
}

struct ReadCase
{
    const char* what;
    FakeScaleDevice::Readings readings;
    LONG timeoutMs;
    LONG expectedResult;
    LONG expectedWeight;      // the by-reference weight afterwards (it starts at -5)
    std::int64_t expectedNow; // the clock afterwards: how long the call waited
};

}

TEST_F(ReadWeight, WaitsForAStableNonZeroWeightUpToItsTimeout)
{
    const ReadCase cases[] = {
        {"stable at once", [](std::int64_t) { return ScaleReading{2500, true}; }, 1000, OPOS_SUCCESS, 2500, 0},
        {"settles in time", [](std::int64_t t) { return settlesAt(t, 700, 2500); }, 1000, OPOS_SUCCESS, 2500, 700},
        {"settles too late", [](std::int64_t t) { return settlesAt(t, 1200, 2500); }, 1000, OPOS_E_TIMEOUT, -5, 1000},
        {"never settles", [](std::int64_t t) { return settlesAt(t, 1 << 30, 2500); }, 1000, OPOS_E_TIMEOUT, -5, 1000},
        {"empty platter", [](std::int64_t) { return ScaleReading{0, true}; }, 1000, OPOS_E_TIMEOUT, -5, 1000},
        {"zero looks once", [](std::int64_t t) { return settlesAt(t, 10, 2500); }, 0, OPOS_E_TIMEOUT, -5, 0},
        {"zero, stable", [](std::int64_t) { return ScaleReading{40, true}; }, 0, OPOS_SUCCESS, 40, 0},
        {"forever", [](std::int64_t t) { return settlesAt(t, 600000, 900); }, -1, OPOS_SUCCESS, 900, 600000},
        {"negative", [](std::int64_t) { return ScaleReading{2500, true}; }, -2, OPOS_E_ILLEGAL, -5, 0},
        {"at capacity", [](std::int64_t) { return ScaleReading{kCapacity, true}; }, 0, OPOS_SUCCESS, kCapacity, 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        readings = c.readings;
        clock.SetMs(0);
        Enable();
        LONG weight = -5;
        EXPECT_EQ(scale.ReadWeight(weight, c.timeoutMs), c.expectedResult);
        EXPECT_EQ(weight, c.expectedWeight);
        EXPECT_EQ(clock.NowMs(), c.expectedNow);
        EXPECT_EQ(service->ResultCode(), c.expectedResult);
        ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}

TEST_F(ReadWeight, OverCapacityIsAnExtendedOverweightResultUntilTheLoadComesOff)
{
    readings = [](std::int64_t t) { return t < 5000 ? ScaleReading{kCapacity + 1, true} : ScaleReading{300, true}; };
    Enable();
    LONG weight = -5;
    EXPECT_EQ(scale.ReadWeight(weight, 1000), OPOS_E_EXTENDED);
    EXPECT_EQ(service->ResultCodeExtended(), OPOS_ESCAL_OVERWEIGHT);
    EXPECT_EQ(weight, -5);

    clock.SetMs(5000);
    EXPECT_EQ(scale.ReadWeight(weight, 1000), OPOS_SUCCESS);
    EXPECT_EQ(weight, 300);
    EXPECT_EQ(service->ResultCodeExtended(), 0);
}

TEST_F(ReadWeight, ClearInputKeepsTheScaleReadable)
{
    readings = [](std::int64_t) { return ScaleReading{1200, true}; };
    Enable();
    EXPECT_EQ(scale.ClearInput(), OPOS_SUCCESS);
    LONG weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 0), OPOS_SUCCESS);
    EXPECT_EQ(weight, 1200);
}
