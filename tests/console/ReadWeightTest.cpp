// Read Weight, the result box and the Loop timer.
#include "tests/console/ConsoleHarness.h"

#include <climits>

namespace {

TEST_F(ConsoleTest, resultBoxShowsEachCodeByNameAndInHex)
{
    const struct { LONG code; const char* name; const char* hex; } cases[] = {
        {0, "OPOS_SUCCESS", "00000000"},         {101, "OPOS_E_CLOSED", "00000065"},
        {102, "OPOS_E_CLAIMED", "00000066"},     {103, "OPOS_E_NOTCLAIMED", "00000067"},
        {104, "OPOS_E_NO_SERVICE", "00000068"},  {105, "OPOS_E_DISABLED", "00000069"},
        {106, "OPOS_E_ILLEGAL", "0000006a"},     {107, "OPOS_E_NOHARDWARE", "0000006b"},
        {108, "OPOS_E_OFFLINE", "0000006c"},     {109, "OPOS_E_NOEXIST", "0000006d"},
        {110, "OPOS_E_EXISTS", "0000006e"},      {111, "OPOS_E_FAILURE", "0000006f"},
        {112, "OPOS_E_TIMEOUT", "00000070"},     {113, "OPOS_E_BUSY", "00000071"},
        {114, "OPOS_E_EXTENDED", "00000072"},    {100, "OPOS_E_??????", "00000064"},
        {115, "OPOS_E_??????", "00000073"},      {1, "OPOS_E_??????", "00000001"},
        {-1, "OPOS_E_??????", "ffffffff"},       {INT_MIN, "OPOS_E_??????", "80000000"},
    };
    RunConsole([&](CWeighConsoleDlg& dlg) {
        ExpectItems(dlg, {{IDC_RESULT_NAME, "-"}, {IDC_RESULT_HEX, "-"}});
        for (const auto& c : cases) {
            device->Queue("ReadWeight", {.result = c.code});
            AfxClickItem(dlg, IDC_READ_WEIGHT);
            ExpectItems(dlg, {{IDC_RESULT_NAME, c.name}, {IDC_RESULT_HEX, c.hex}});
        }
    });
}

TEST_F(ConsoleTest, readWeightMakesTheseCallsShowsTheWeightAndFeedsTheGauge)
{
    device->Queue("ReadWeight", {.result = 0, .weight = 1500});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(device->Calls(), (Calls{"ClearInput()", "ReadWeight(0,1000)", "GetMaximumWeight", "GetMaximumWeight",
                                          "GetWeightUnit"}));
        ExpectItems(dlg, {{IDC_WEIGHT, "1.500"}, {IDC_CAPACITY, "Max Weight 2 Kg"}, {IDC_RESULT_NAME, "OPOS_SUCCESS"}});
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 1.5);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 2.5);
    });
}

// The count with its decimal point three places from the right, exact at both ends of the range.
TEST_F(ConsoleTest, weightDisplayIsExactForEveryKindOfCount)
{
    const struct { LONG count; const char* shown; } rows[] = {
        {0, "0.000"}, {5, "0.005"}, {-5, "-0.005"}, {999, "0.999"}, {-1000, "-1.000"}, {1001, "1.001"}, {-250, "-0.250"},
        {INT_MAX, "2147483.647"}, {INT_MIN, "-2147483.648"}, {INT_MIN + 1, "-2147483.647"}, {9999999, "9999.999"},
    };
    for (const auto& row : rows)
        device->Queue("ReadWeight", {.result = 0, .weight = row.count});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (const auto& row : rows) {
            dlg.OnReadWeight();
            EXPECT_EQ(Text(dlg, IDC_WEIGHT), row.shown) << row.count;
        }
    });
}

TEST_F(ConsoleTest, ticksReadOnceEachOnlyWhileLoopIsChecked)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const struct { bool click; long reads; } ticks[] = {{false, 0}, {true, 1}, {false, 2}, {true, 2}, {false, 2}};
        for (const auto& tick : ticks) {
            if (tick.click)
                AfxClickItem(dlg, IDC_LOOP);
            dlg.SendMessage(WM_TIMER, 1, 0);
            EXPECT_EQ(Count("ReadWeight(0,1000)"), tick.reads);
        }
    });
}

}
