// The console's start-up: the capacity line, the gauge's maximum, the timer, and the wrapper's calls.
#include "ConsoleHarness.h"

#include <climits>

namespace {

struct CapacityCase
{
    LONG capacity;
    LONG unit;
    const char* line;
    double startupMax; // whole units, truncated toward zero
    double laterMax;   // thousandths
};

const CapacityCase kCapacityCases[] = {
    {2500, 2, "Max Weight 2 Kg", 2.0, 2.5},
    {2500, 7, "Max Weight 2 ?", 2.0, 2.5},
    {-1500, 2, "Max Weight -1 Kg", -1.0, -1.5},
    {999, 1, "Max Weight 0 g", 0.0, 0.999},
    {15000, 3, "Max Weight 15 oz", 15.0, 15.0},
    {30000, 4, "Max Weight 30 lb", 30.0, 30.0},
    {0, 0, "Max Weight 0 ?", 0.0, 0.0},
    {-999, -1, "Max Weight 0 ?", 0.0, -0.999},
    {INT_MIN, 2, "Max Weight -2147483 Kg", -2147483.0, -2147483.648},
};

class CapacityLine : public ConsoleTest, public ::testing::WithParamInterface<CapacityCase>
{
};

TEST_P(CapacityLine, startUpWritesTheLineAndTheWholeUnitMaximum)
{
    const CapacityCase& c = GetParam();
    device->maximumWeight = c.capacity;
    device->weightUnit = c.unit;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), c.line);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, c.startupMax);
        EXPECT_FALSE(dlg.m_bWeightRead);

        // Any later refresh takes the capacity in thousandths.
        dlg.OnReadWeight();
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, c.laterMax);
    });
}

INSTANTIATE_TEST_SUITE_P(Capacities, CapacityLine, ::testing::ValuesIn(kCapacityCases));

TEST_F(ConsoleTest, startUpReadsTheCapacityTwiceAndTheUnitOnce)
{
    RunConsole([&](CWeighConsoleDlg&) {
        EXPECT_EQ(DeviceCalls(), (Calls{"GetMaximumWeight", "GetMaximumWeight", "GetWeightUnit"}));
    });
}

TEST_F(ConsoleTest, everyRefreshReadsCapacityAndUnitAfresh)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg");
        device->maximumWeight = 7000;
        device->weightUnit = 4;
        device->Queue("ReadWeight", {.result = 0, .weight = 1000});
        dlg.OnReadWeight();
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 7 lb");
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 7.0);
        device->maximumWeight = 1250;
        device->weightUnit = 1;
        dlg.OnReadWeight();
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 1 g");
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 1.25);
    });
}

TEST_F(ConsoleTest, startUpArmsTheOneSecondTimerForLoop)
{
    device->SetDefault("ReadWeight", {.result = 0, .weight = 10});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_LOOP);
        device->ClearCalls();
        AfxPumpMessages(2300); // the real period: two ticks
        const auto reads = Count("ReadWeight(0,1000)");
        EXPECT_EQ(reads, 2);
    });
}

TEST_F(ConsoleTest, failedPropertyReadAtStartUpIsReportedOnceAndLeavesNoTimer)
{
    device->Queue("GetMaximumWeight", {.raise = true});
    device->SetDefault("ReadWeight", {.result = 0, .weight = 10});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(AfxOpenReportCount(), 1);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Static");
        AfxDismissReports();
        AfxSetTimerSpeedup(50);
        AfxClickItem(dlg, IDC_LOOP);
        device->ClearCalls();
        AfxPumpMessages(200);
        EXPECT_TRUE(DeviceCalls().empty());
        EXPECT_EQ(AfxOpenReportCount(), 0);
    });
}

// Each wrapper operation reaches the control's member of the same name with its arguments.
TEST_F(ConsoleTest, wrapperSendsEachOperationWithItsArguments)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        device->description = u"Bench scale";
        device->Queue("ReadWeight", {.result = 0, .weight = 4321});
        device->Queue("DirectIO", {.result = 0, .data = 21, .string = u"abc"});
        device->Queue("Claim", {.result = 102});

        EXPECT_EQ(dlg.m_scale.Open("K350"), 0);
        EXPECT_EQ(dlg.m_scale.Claim(1000), 102);
        dlg.m_scale.SetDeviceEnabled(TRUE);
        dlg.m_scale.SetDeviceEnabled(FALSE);
        EXPECT_EQ(dlg.m_scale.ClearInput(), 0);
        LONG weight = 0;
        EXPECT_EQ(dlg.m_scale.ReadWeight(&weight, 250), 0);
        EXPECT_EQ(weight, 4321);
        LONG data = 7;
        BSTR string = nullptr;
        EXPECT_EQ(dlg.m_scale.DirectIO(4, &data, &string), 0);
        EXPECT_EQ(data, 21);
        EXPECT_EQ(AfxTextFromBstr(string).str(), "abc");
        SysFreeString(string);
        EXPECT_EQ(dlg.m_scale.GetDescription().str(), "Bench scale");
        EXPECT_EQ(dlg.m_scale.GetMaximumWeight(), 2500);
        EXPECT_EQ(dlg.m_scale.GetWeightUnit(), 2);
        EXPECT_EQ(dlg.m_scale.Release(), 0);
        EXPECT_EQ(dlg.m_scale.Close(), 0);

        EXPECT_EQ(DeviceCalls(), (Calls{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)",
                                        "SetDeviceEnabled(false)", "ClearInput()", "ReadWeight(0,250)",
                                        "DirectIO(4,7,null)", "GetDescription", "GetMaximumWeight",
                                        "GetWeightUnit", "Release()", "Close()"}));
    });
}

TEST_F(ConsoleTest, wrapperLetsAFailedCallReachTheCaller)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const char* const members[] = {"Open", "ReadWeight", "GetDescription"};
        for (const char* member : members)
            device->Queue(member, {.raise = true});
        EXPECT_THROW(dlg.m_scale.Open("K350"), COleDispatchException);
        LONG weight = 0;
        EXPECT_THROW(dlg.m_scale.ReadWeight(&weight, 1000), COleDispatchException);
        EXPECT_THROW(dlg.m_scale.GetDescription(), COleDispatchException);
        EXPECT_EQ(dlg.m_scale.Close(), 0); // the wrapper keeps nothing from a failure
    });
}

TEST_F(ConsoleTest, unattachedWrapperFailsItsCallsInsteadOfCrashing)
{
    CScale scale;
    EXPECT_THROW(scale.GetMaximumWeight(), COleException);
    EXPECT_STREQ(RUNTIME_CLASS(CScale)->m_lpszClassName, "CScale");
    std::unique_ptr<CObject> created(CRuntimeClass::FromName("CScale")->CreateObject());
    EXPECT_TRUE(created->IsKindOf(RUNTIME_CLASS(CWnd)));
}

}
