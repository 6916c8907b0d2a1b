// Open and Close: the device call sequences and what each leaves on screen.
#include "ConsoleHarness.h"

#include <set>

namespace {

TEST_F(ConsoleTest, failedOpenShowsDescriptionWithCodeAndClaimsNothing)
{
    device->description = u"Scale at lane 3";
    device->Queue("Open", {.result = 109});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.m_gauge.m_dMax = 4.0;
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), (Calls{"Open(K350)", "GetDescription"}));
        ExpectItems(dlg, {{IDC_STATUS, "Scale at lane 3(0000006d)"}, {IDC_CAPACITY, "?"}, {IDC_WEIGHT, "..."},
                          {IDC_RESULT_NAME, "OPOS_E_NOEXIST"}, {IDC_RESULT_HEX, "0000006d"}});
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
        // No read has happened yet, so the note is still empty; the result box keeps Open's code.
        ExpectItems(dlg, {{IDC_WEIGHT, "Claim Failed : 00000066"}, {IDC_STATUS, "Scripted K350"},
                          {IDC_CAPACITY, "Max Weight 2 Kg"}, {IDC_RESULT_NAME, "OPOS_SUCCESS"},
                          {IDC_RESULT_HEX, "00000000"}});
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 2.5);
    });
}

TEST_F(ConsoleTest, openAndClaimRunTheFirstReadWhoseResultIsShown)
{
    device->Queue("ReadWeight", {.result = 0, .weight = 1234});
    device->Queue("ReadWeight", {.result = 112});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), Concat({{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)"}, OneRead(),
                                         {"GetDescription"}, kCapacityRefresh}));
        ExpectItems(dlg, {{IDC_WEIGHT, "1.234"}, {IDC_STATUS, "Scripted scale"}, {IDC_CAPACITY, "Max Weight 2 Kg"}});
        EXPECT_TRUE(dlg.m_bWeightRead);

        // A failing first read shows its own code, and the note.
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_TIMEOUT"}, {IDC_RESULT_HEX, "00000070"},
                          {IDC_CAPACITY, "Max Weight 2 Kg" + kNote}});
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
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_ILLEGAL"}, {IDC_RESULT_HEX, "0000006a"}, {IDC_STATUS, status},
                          {IDC_CAPACITY, capacity}, {IDC_WEIGHT, "2.000"}});
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 9.0);

        // The flag was cleared all the same, so the next failed read shows the note.
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg" + kNote);
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
        // No note on the line, though one is remembered.
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_FAILURE"}, {IDC_RESULT_HEX, "0000006f"}, {IDC_STATUS, ""},
                          {IDC_WEIGHT, "..."}, {IDC_CAPACITY, "Max Weight 2 Kg"}});
        EXPECT_EQ(dlg.m_strMaxNote.str(), kNote);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 2.5);
    });
}

TEST_F(ConsoleTest, automationFailureInTheMiddleOfOpenAbandonsTheRest)
{
    device->Queue("ReadWeight", {.raise = true});
    device->Queue("ReadWeight", {.result = 0, .weight = 42});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(DeviceCalls(), (Calls{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "ClearInput()",
                                        "ReadWeight(0,1000)"}));
        // The status line is not rewritten and the result box keeps Open's code.
        ExpectItems(dlg, {{IDC_STATUS, ""}, {IDC_RESULT_NAME, "OPOS_SUCCESS"}});
        EXPECT_EQ(AfxOpenReportCount(), 1);
        AfxDismissReports();

        AfxClickItem(dlg, IDC_READ_WEIGHT); // the console keeps working
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
        EXPECT_EQ(names, (std::set<std::string>{"OPOS_SUCCESS", "OPOS_E_TIMEOUT", "OPOS_E_EXTENDED"}));
        EXPECT_GE(weights.size(), 2u);

        AfxClickItem(dlg, IDC_CLOSE_DEVICE);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_WEIGHT, "..."}, {IDC_CAPACITY, "Max Weight 0 ?"}});
        AfxClickItem(dlg, IDC_READ_WEIGHT); // closed again: the control's own answer
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "OPOS_E_CLOSED");
    });
}

}
