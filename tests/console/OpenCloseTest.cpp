// Open and Close: the device call sequences and what each leaves on screen.
#include "ConsoleHarness.h"

#include <set>

namespace {

const char kNote[] = " (Detault value:right value with a successfull read)";

Calls Concat(std::initializer_list<Calls> parts)
{
    Calls all;
    for (const Calls& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Calls kCapacityRefresh = {"GetMaximumWeight", "GetMaximumWeight", "GetWeightUnit"};

TEST_F(ConsoleTest, failedOpenShowsDescriptionWithCodeAndClaimsNothing)
{
    device->description = u"Scale at lane 3";
    device->Queue("Open", {.result = 109});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.m_gauge.m_dMax = 4.0;
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), (Calls{"Open(K350)", "GetDescription"}));
        EXPECT_EQ(Text(dlg, IDC_STATUS), "Scale at lane 3(0000006d)");
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "?");
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_NOEXIST");
        EXPECT_EQ(Text(dlg, IDC_RESULT_HEX), "0000006d");
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "...");
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 4.0);
    });
}

TEST_F(ConsoleTest, openWhoseClaimFailsStillEnablesAndDoesNotRead)
{
    device->description = u"Scripted K350";
    device->Queue("Claim", {.result = 102});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), Concat({{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "GetDescription"},
                                         kCapacityRefresh}));
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "Claim Failed : 00000066");
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_SUCCESS");
        EXPECT_EQ(Text(dlg, IDC_RESULT_HEX), "00000000");
        EXPECT_EQ(Text(dlg, IDC_STATUS), "Scripted K350");
        // No read has happened yet, so the note is still empty.
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg");
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 2.5);
    });
}

TEST_F(ConsoleTest, openAndClaimRunTheFirstReadWhoseResultIsShown)
{
    device->Queue("ReadWeight", {.result = 0, .weight = 1234});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), Concat({{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)"}, OneRead(),
                                         {"GetDescription"}, kCapacityRefresh}));
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "1.234");
        EXPECT_EQ(Text(dlg, IDC_STATUS), "Scripted scale");
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg");
        EXPECT_TRUE(dlg.m_bWeightRead);
    });
}

TEST_F(ConsoleTest, openWithAFailingFirstReadShowsTheReadsCodeAndTheNote)
{
    device->Queue("ReadWeight", {.result = 112});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_TIMEOUT");
        EXPECT_EQ(Text(dlg, IDC_RESULT_HEX), "00000070");
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), std::string("Max Weight 2 Kg") + kNote);
    });
}

TEST_F(ConsoleTest, closeWithAFailedReleaseChangesOnlyTheResultBox)
{
    device->Queue("ReadWeight", {.result = 0, .weight = 2000});
    device->Queue("Release", {.result = 106});
    device->Queue("ReadWeight", {.result = 112});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        const std::string status = Text(dlg, IDC_STATUS), capacity = Text(dlg, IDC_CAPACITY);
        dlg.m_gauge.m_dMax = 9.0;
        device->ClearCalls();
        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        EXPECT_EQ(DeviceCalls(), (Calls{"ClearInput()", "Release()"}));
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_ILLEGAL");
        EXPECT_EQ(Text(dlg, IDC_RESULT_HEX), "0000006a");
        EXPECT_EQ(Text(dlg, IDC_STATUS), status);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), capacity);
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "2.000");
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 9.0);

        // The flag was cleared all the same, so the next failed read shows the note.
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), std::string("Max Weight 2 Kg") + kNote);
    });
}

TEST_F(ConsoleTest, closeAfterAGoodReleaseClearsTheScreenWhateverCloseReturns)
{
    device->Queue("ReadWeight", {.result = 112});
    device->Queue("Close", {.result = 111});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        device->ClearCalls();
        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        EXPECT_EQ(DeviceCalls(), Concat({{"ClearInput()", "Release()", "Close()"}, kCapacityRefresh}));
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_FAILURE");
        EXPECT_EQ(Text(dlg, IDC_RESULT_HEX), "0000006f");
        EXPECT_EQ(Text(dlg, IDC_STATUS), "");
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "...");
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg"); // no note, though one is remembered
        EXPECT_EQ(dlg.m_strMaxNote.str(), kNote);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 2.5);
    });
}

TEST_F(ConsoleTest, automationFailureInTheMiddleOfOpenAbandonsTheRest)
{
    device->Queue("ReadWeight", {.raise = true});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), (Calls{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "ClearInput()",
                                        "ReadWeight(0,1000)"}));
        EXPECT_EQ(Text(dlg, IDC_STATUS), "");
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_SUCCESS"); // Open's; the read never showed its own
        EXPECT_EQ(AfxOpenReportCount(), 1);
        AfxDismissReports();

        // The console keeps working.
        device->Queue("ReadWeight", {.result = 0, .weight = 42});
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "0.042");
        EXPECT_EQ(AfxOpenReportCount(), 0);
    });
}

// The main use end to end on the simulated K350 behind the real control state model.
TEST_F(ConsoleTest, simulatedScaleRunsOpenReadsLoopAndClose)
{
    UseStandardScale();
    opos::ManualClock clock(1'000'000);
    opos::ClockOverride useClock(clock);
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_NE(Text(dlg, IDC_STATUS).find("simulated"), std::string::npos) << Text(dlg, IDC_STATUS);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY).rfind("Max Weight 15 Kg", 0), 0u) << Text(dlg, IDC_CAPACITY);

        // Through a whole cycle, one read a second, the console sees weights, time-outs and overloads.
        AfxClickItem(dlg, IDC_LOOP);
        std::set<std::string> names, weights;
        for (int second = 0; second < 32; ++second) {
            clock.AdvanceMs(1000);
            dlg.SendMessage(WM_TIMER, 1, 0);
            names.insert(Text(dlg, IDC_RESULT_NAME));
            weights.insert(Text(dlg, IDC_WEIGHT));
        }
        EXPECT_TRUE(names.count("OPOS_SUCCESS"));
        EXPECT_TRUE(names.count("OPOS_E_TIMEOUT"));
        EXPECT_TRUE(names.count("OPOS_E_EXTENDED"));
        EXPECT_GE(weights.size(), 2u);

        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_SUCCESS");
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "...");
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 0 ?");

        // Closed again: a read gets the control's own answer.
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_CLOSED");
    });
}

}
