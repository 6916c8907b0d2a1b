// Open and Close: each path's device calls and what it leaves on screen, and the note that reads
// leave for the capacity line across commands.
#include "tests/console/ConsoleHarness.h"

#include <set>

namespace {

using Answers = std::vector<std::pair<std::string, opos::Answer>>;

struct CommandRow
{
    const char* behaviour;
    int button;
    Answers answers;
    Calls calls; // empty: the row checks the screen only
    Items items;
    double max; // the gauge's maximum afterwards; 9 when left alone
};

const Calls kRefresh = {"GetMaximumWeight", "GetMaximumWeight", "GetWeightUnit"};
Calls operator+(Calls a, const Calls& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

// Each command runs on the screen that an Open with a good read and then a failed read leave:
// status "Scripted scale", weight 2.000, the capacity line without the remembered note.
const CommandRow kCommandRows[] = {
    {"failedOpenShowsTheDescriptionWithItsCodeAndClaimsNothing", IDC_OPEN_DEVICE, {{"Open", {.result = 109}}},
     {"Open(K350)", "GetDescription"},
     {{IDC_STATUS, "Scripted scale(0000006d)"}, {IDC_CAPACITY, "?"}, {IDC_WEIGHT, "2.000"},
      {IDC_RESULT_NAME, "OPOS_E_NOEXIST"}, {IDC_RESULT_HEX, "0000006d"}}, 9.0},
    {"failedClaimStillEnablesShowsItsCodeAndTheNoteTheLastReadLeft", IDC_OPEN_DEVICE, {{"Claim", {.result = 102}}},
     Calls{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "GetDescription"} + kRefresh,
     {{IDC_WEIGHT, "Claim Failed : 00000066"}, {IDC_STATUS, "Scripted scale"}, {IDC_CAPACITY, "Max Weight 2 Kg" + kNote},
      {IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_RESULT_HEX, "00000000"}}, 2.5},
    {"openAndClaimRunTheFirstRead", IDC_OPEN_DEVICE, {{"ReadWeight", {.weight = 1234}}},
     Calls{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "ClearInput()", "ReadWeight(0,1000)"} + kRefresh +
         Calls{"GetDescription"} + kRefresh,
     {{IDC_WEIGHT, "1.234"}, {IDC_STATUS, "Scripted scale"}, {IDC_CAPACITY, "Max Weight 2 Kg"}}, 2.5},
    {"failedFirstReadShowsItsOwnCodeAndTheNote", IDC_OPEN_DEVICE, {{"ReadWeight", {.result = 112}}}, {},
     {{IDC_RESULT_NAME, "OPOS_E_TIMEOUT"}, {IDC_RESULT_HEX, "00000070"}, {IDC_WEIGHT, "2.000"},
      {IDC_CAPACITY, "Max Weight 2 Kg" + kNote}}, 2.5},
    {"failedReleaseChangesOnlyTheResultBox", IDC_CLOSE_DEVICE, {{"Release", {.result = 106}}},
     {"ClearInput()", "Release()"},
     {{IDC_RESULT_NAME, "OPOS_E_ILLEGAL"}, {IDC_RESULT_HEX, "0000006a"}, {IDC_STATUS, "Scripted scale"},
      {IDC_CAPACITY, "Max Weight 2 Kg"}, {IDC_WEIGHT, "2.000"}}, 9.0},
    {"goodReleaseClearsTheScreenWhateverCloseReturns", IDC_CLOSE_DEVICE, {{"Close", {.result = 111}}},
     Calls{"ClearInput()", "Release()", "Close()"} + kRefresh,
     {{IDC_RESULT_NAME, "OPOS_E_FAILURE"}, {IDC_RESULT_HEX, "0000006f"}, {IDC_STATUS, ""}, {IDC_WEIGHT, "..."},
      {IDC_CAPACITY, "Max Weight 2 Kg"}}, 2.5},
};
using Command = ConsoleTable<CommandRow>;
void PrintTo(const CommandRow& row, std::ostream* os) { *os << row.behaviour; }

TEST_P(Command, makesItsCallsAndLeavesThisOnScreen)
{
    const CommandRow& row = GetParam();
    device->Queue("ReadWeight", {.result = 0, .weight = 2000});
    device->Queue("ReadWeight", {.result = 114});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.OnOpenDevice();
        dlg.OnReadWeight();
        dlg.m_gauge.m_dMax = 9.0;
        device->ClearCalls();
        for (const auto& [member, answer] : row.answers)
            device->Queue(member, answer);
        AfxClickItem(dlg, row.button);
        if (!row.calls.empty()) {
            EXPECT_EQ(device->Calls(), row.calls);
        }
        ExpectItems(dlg, row.items);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, row.max);
    });
}

INSTANTIATE_TEST_SUITE_P(OpenClose, Command, ::testing::ValuesIn(kCommandRows), kByBehaviour);

// One press of a button, with the answer the device gives to one of its calls.
struct Step
{
    int button;
    const char* member;
    opos::Answer answer;
};
const Step kGoodRead{IDC_READ_WEIGHT, "ReadWeight", {.weight = 500}};
const Step kFailedRead{IDC_READ_WEIGHT, "ReadWeight", {.result = 112}};
const Step kOpenReading{IDC_OPEN_DEVICE, "ReadWeight", {.weight = 500}};
const Step kOpenFailing{IDC_OPEN_DEVICE, "Open", {.result = 109}};
const Step kClaimFailing{IDC_OPEN_DEVICE, "Claim", {.result = 102}};
const Step kReleaseFailing{IDC_CLOSE_DEVICE, "Release", {.result = 106}};

struct NoteRow
{
    const char* behaviour;
    std::vector<Step> steps;
    bool noteShown; // at the end of the capacity line after the last step
};

const NoteRow kNoteRows[] = {
    {"failedReadBeforeAnySuccessShowsTheNote", {kFailedRead}, true},
    {"failedReadAfterASuccessKeepsTheNoteOffTheLine", {kGoodRead, kFailedRead}, false},
    {"readThatOpenRunsCountsAsARead", {kOpenReading, kFailedRead}, false},
    {"successfulReadClearsTheRememberedNote", {kFailedRead, kGoodRead, kClaimFailing}, false},
    {"openClearsTheWeightReadFlagEvenAfterAGoodRead", {kGoodRead, kOpenFailing, kFailedRead}, true},
    {"closeClearsTheWeightReadFlagEvenWhenTheReleaseFails", {kGoodRead, kReleaseFailing, kFailedRead}, true},
};
using CapacityNote = ConsoleTable<NoteRow>;
void PrintTo(const NoteRow& row, std::ostream* os) { *os << row.behaviour; }

TEST_P(CapacityNote, endsTheCapacityLineAfterTheseCommands)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (const Step& step : GetParam().steps) {
            device->Queue(step.member, step.answer);
            AfxClickItem(dlg, step.button);
        }
        EXPECT_EQ(Text(dlg, IDC_CAPACITY), "Max Weight 2 Kg" + (GetParam().noteShown ? kNote : ""));
    });
}

INSTANTIATE_TEST_SUITE_P(Console, CapacityNote, ::testing::ValuesIn(kNoteRows), kByBehaviour);

TEST_F(ConsoleTest, automationFailureInTheMiddleOfOpenAbandonsTheRest)
{
    device->Queue("ReadWeight", {.raise = true});
    device->Queue("ReadWeight", {.result = 0, .weight = 42});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        EXPECT_EQ(device->Calls().back(), "ReadWeight(0,1000)");
        ExpectItems(dlg, {{IDC_STATUS, ""}, {IDC_RESULT_NAME, "OPOS_SUCCESS"}});
        EXPECT_EQ(AfxOpenReportCount(), 1);
        AfxDismissReports();

        AfxClickItem(dlg, IDC_READ_WEIGHT); // the console keeps working
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "0.042");
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
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_SUCCESS"}, {IDC_WEIGHT, "1.250"}}); // Open's first read shows a weight

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
        AfxClickItem(dlg, IDC_READ_WEIGHT); // closed again: the control's own answer, and the note
        ExpectItems(dlg, {{IDC_RESULT_NAME, "OPOS_E_CLOSED"}, {IDC_CAPACITY, "Max Weight 0 ?" + kNote}});
    });
}

}
