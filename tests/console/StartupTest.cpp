// The console's start-up: the capacity line, the gauge's maximum and the Loop timer.
#include "tests/console/ConsoleHarness.h"

#include <climits>

namespace {

TEST_F(ConsoleTest, startUpWritesTheCapacityLineAndTheWholeUnitMaximumThenReadsTakeThousandths)
{
    const struct { LONG capacity, unit; const char* line; double startupMax, laterMax; } cases[] = {
        {2500, 2, "Max Weight 2 Kg", 2.0, 2.5},
        {2500, 7, "Max Weight 2 ?", 2.0, 2.5},
        {-1500, 2, "Max Weight -1 Kg", -1.0, -1.5}, // truncated toward zero
        {999, 1, "Max Weight 0 g", 0.0, 0.999},
        {15000, 3, "Max Weight 15 oz", 15.0, 15.0},
        {30000, 4, "Max Weight 30 lb", 30.0, 30.0},
        {INT_MIN, 2, "Max Weight -2147483 Kg", -2147483.0, -2147483.648},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        device->maximumWeight = c.capacity;
        device->weightUnit = c.unit;
        device->ClearCalls();
        RunConsole([&](CWeighConsoleDlg& dlg) {
            EXPECT_EQ(device->Calls(), (Calls{"GetMaximumWeight", "GetMaximumWeight", "GetWeightUnit"}));
            EXPECT_EQ(Text(dlg, IDC_CAPACITY), c.line);
            EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, c.startupMax);
            dlg.OnReadWeight();
            EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, c.laterMax);
        });
    }
}

struct TimerRow
{
    const char* behaviour;
    bool failStartUp;
    int waitMs;
    long reads;
};
// Ticks at the real one-second period, so that a timer armed before a failing call would show.
const TimerRow kTimerRows[] = {
    {"armsTheOneSecondTimerForLoop", false, 2300, 2},
    {"failedPropertyReadAtStartUpLeavesNoTimerRunning", true, 1100, 0},
};
using StartUpTimer = ConsoleTable<TimerRow>;
void PrintTo(const TimerRow& row, std::ostream* os) { *os << row.behaviour; }

TEST_P(StartUpTimer, readsOnTicksWithLoopChecked)
{
    const TimerRow& row = GetParam();
    device->SetDefault("ReadWeight", {.result = 0, .weight = 10});
    if (row.failStartUp)
        device->Queue("GetMaximumWeight", {.raise = true});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(AfxOpenReportCount(), row.failStartUp ? 1 : 0);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), row.failStartUp ? "Static" : "Max Weight 2 Kg");
        AfxDismissReports();
        AfxClickItem(dlg, IDC_LOOP);
        device->ClearCalls();
        AfxPumpMessages(row.waitMs);
        EXPECT_EQ(Count("ReadWeight(0,1000)"), row.reads);
    });
}

INSTANTIATE_TEST_SUITE_P(Console, StartUpTimer, ::testing::ValuesIn(kTimerRows), kByBehaviour);

}
