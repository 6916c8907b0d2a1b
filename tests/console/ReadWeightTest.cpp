// Read Weight, the result box and the Loop timer.
#include "ConsoleHarness.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <random>

namespace {

struct ResultCase
{
    LONG code;
    const char* name;
    const char* hex;
};

const ResultCase kResultCases[] = {
    {0, "OPOS_SUCCESS", "00000000"},       {101, "OPOS_E_CLOSED", "00000065"},
    {102, "OPOS_E_CLAIMED", "00000066"},   {103, "OPOS_E_NOTCLAIMED", "00000067"},
    {104, "OPOS_E_NO_SERVICE", "00000068"}, {105, "OPOS_E_DISABLED", "00000069"},
    {106, "OPOS_E_ILLEGAL", "0000006a"},   {107, "OPOS_E_NOHARDWARE", "0000006b"},
    {108, "OPOS_E_OFFLINE", "0000006c"},   {109, "OPOS_E_NOEXIST", "0000006d"},
    {110, "OPOS_E_EXISTS", "0000006e"},    {111, "OPOS_E_FAILURE", "0000006f"},
    {112, "OPOS_E_TIMEOUT", "00000070"},   {113, "OPOS_E_BUSY", "00000071"},
    {114, "OPOS_E_EXTENDED", "00000072"},  {100, "OPOS_E_??????", "00000064"},
    {115, "OPOS_E_??????", "00000073"},    {1, "OPOS_E_??????", "00000001"},
    {-1, "OPOS_E_??????", "ffffffff"},     {-101, "OPOS_E_??????", "ffffff9b"},
    {INT_MIN, "OPOS_E_??????", "80000000"}, {INT_MAX, "OPOS_E_??????", "7fffffff"},
};

TEST_F(ConsoleTest, resultBoxShowsEachCodeByNameAndInHex)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "-");
        EXPECT_EQ(Text(dlg, IDC_RESULT_HEX), "-");
        for (const ResultCase& c : kResultCases) {
            device->Queue("ReadWeight", {.result = c.code});
            AfxClickItem(dlg, IDC_READ_WEIGHT);
            ExpectItems(dlg, {{IDC_RESULT_NAME, c.name}, {IDC_RESULT_HEX, c.hex}});
        }
    });
}

TEST_F(ConsoleTest, successfulReadMakesTheseCallsShowsTheWeightAndFeedsTheGauge)
{
    device->Queue("ReadWeight", {.result = 0, .weight = 1500});
    device->Queue("ReadWeight", {.result = 0, .weight = -250});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(DeviceCalls(), OneRead());
        ExpectItems(dlg, {{IDC_WEIGHT, "1.500"}, {IDC_CAPACITY, "Max Weight 2 Kg"}, {IDC_RESULT_NAME, "OPOS_SUCCESS"}});
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 1.5);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 2.5);
        EXPECT_TRUE(dlg.m_bWeightRead);
        EXPECT_EQ(dlg.m_strMaxNote.str(), "");

        AfxClickItem(dlg, IDC_READ_WEIGHT); // a negative weight keeps its sign
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "-0.250");
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, -0.25);
    });
}

// The count written with its decimal point three places from the right, by integer arithmetic.
std::string Thousandths(LONG count)
{
    const long long v = count;
    const long long magnitude = std::llabs(v);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%lld.%03lld", v < 0 ? "-" : "", magnitude / 1000, magnitude % 1000);
    return buf;
}

TEST_F(ConsoleTest, weightDisplayIsExactForEveryKindOfCount)
{
    std::vector<LONG> counts = {0, 1, 5, -5, 999, 1000, 1001, -999, -1000, -1001, 1500, -250, 123456789,
                                INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1, 2147483, -2147483, 9999999};
    std::mt19937 random(20261206);
    std::uniform_int_distribution<LONG> any(INT_MIN, INT_MAX);
    for (int i = 0; i < 400; ++i)
        counts.push_back(any(random));
    for (LONG c : counts)
        device->Queue("ReadWeight", {.result = 0, .weight = c});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (LONG c : counts) {
            dlg.OnReadWeight();
            ASSERT_EQ(Text(dlg, IDC_WEIGHT), Thousandths(c)) << c;
        }
    });
}

TEST_F(ConsoleTest, failedReadBeforeAnySuccessShowsTheNoteAndKeepsTheDisplay)
{
    device->Queue("ReadWeight", {.result = 112});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        ExpectItems(dlg, {{IDC_CAPACITY, "Max Weight 2 Kg" + kNote}, {IDC_WEIGHT, "..."},
                          {IDC_RESULT_NAME, "OPOS_E_TIMEOUT"}});
        EXPECT_EQ(dlg.m_strMaxNote.str(), kNote);
        EXPECT_FALSE(dlg.m_bWeightRead);
    });
}

TEST_F(ConsoleTest, failedReadAfterASuccessKeepsTheNoteOffTheLineButRemembersIt)
{
    device->Queue("ReadWeight", {.result = 0, .weight = 700});
    device->Queue("ReadWeight", {.result = 114});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        ExpectItems(dlg, {{IDC_CAPACITY, "Max Weight 2 Kg"}, {IDC_WEIGHT, "0.700"}});
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 0.7);
        EXPECT_EQ(dlg.m_strMaxNote.str(), kNote);
        EXPECT_TRUE(dlg.m_bWeightRead);

        // An Open whose claim then fails shows the remembered note.
        device->Queue("Claim", {.result = 102});
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg" + kNote);
    });
}

TEST_F(ConsoleTest, readOnADeviceThatIsNotOpenShowsTheControlsCode)
{
    UseStandardScale();
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_CLOSED"}, {IDC_RESULT_HEX, "00000065"},
                          {IDC_CAPACITY, "Max Weight 0 ?" + kNote}});
    });
}

TEST_F(ConsoleTest, ticksReadOnceEachOnlyWhileLoopIsChecked)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        dlg.SendMessage(WM_TIMER, 1, 0);
        EXPECT_TRUE(DeviceCalls().empty()); // unchecked: a tick only reads the box

        AfxClickItem(dlg, IDC_LOOP);
        device->ClearCalls();
        dlg.SendMessage(WM_TIMER, 1, 0);
        EXPECT_TRUE(dlg.m_bLoop);
        EXPECT_EQ(DeviceCalls(), OneRead());
        dlg.SendMessage(WM_TIMER, 1, 0);
        EXPECT_EQ(DeviceCalls().size(), 2 * OneRead().size());

        AfxClickItem(dlg, IDC_LOOP); // unchecked again: the next tick reads the box and stops
        device->ClearCalls();
        dlg.SendMessage(WM_TIMER, 1, 0);
        EXPECT_FALSE(dlg.m_bLoop);
        EXPECT_TRUE(DeviceCalls().empty());
    });
}

TEST_F(ConsoleTest, readsThatOutlastThePeriodDoNotQueueABurst)
{
    AfxSetTimerSpeedup(20); // 50 ms ticks
    device->SetDefault("ReadWeight", {.result = 0, .weight = 100, .delayMs = 120});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_LOOP);
        device->ClearCalls();
        const auto start = std::chrono::steady_clock::now();
        AfxPumpMessages(1000);
        const auto elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        const long reads = Count("ReadWeight(0,1000)");
        // Back to back at best: a queued burst would show as more reads than fit in the time.
        EXPECT_GE(reads, 3);
        EXPECT_LE(reads, elapsedMs / 120 + 1);
    });
}

TEST_F(ConsoleTest, loopKeepsReadingBehindTheAboutBox)
{
    AfxSetTimerSpeedup(20);
    long readsWhileOpen = -1;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_LOOP);
        AfxPost(400, [&] {
            readsWhileOpen = Count("ReadWeight(0,1000)");
            CDialog* about = AfxCurrentModalDialog();
            ASSERT_NE(about, &dlg);
            about->EndDialog(IDOK);
        });
        device->ClearCalls();
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    });
    EXPECT_GE(readsWhileOpen, 3);
}

TEST_F(ConsoleTest, failingTicksRaiseOneReportWhileItIsOpen)
{
    AfxSetTimerSpeedup(20);
    device->SetDefault("ReadWeight", {.raise = true});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_LOOP);
        device->ClearCalls();
        AfxPumpMessages(500);
        EXPECT_GE(Count("ReadWeight(0,1000)"), 3);
        EXPECT_EQ(AfxOpenReportCount(), 1);
        // The failure abandoned each tick before its refresh.
        EXPECT_EQ(Count("GetWeightUnit"), 0);
        AfxDismissReports();
    });
}

}
