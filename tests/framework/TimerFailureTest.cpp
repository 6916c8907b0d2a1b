// Timers: ticks after a slow handler, and what happens when a handler fails.
#include "tests/framework/FrameworkFixture.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

struct TimerDlg : CDialog
{
    TimerDlg() : CDialog(IDD_PLAIN) {}
    std::vector<Clock::time_point> ticks; // when each tick's handler returned
    std::vector<UINT_PTR> ids;
    std::function<void(int)> onTick; // given the tick's number
    std::function<void()> onClicked, onInit;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (onInit)
            onInit();
        return TRUE;
    }
    void OnTimer(UINT_PTR nIDEvent)
    {
        ids.push_back(nIDEvent);
        if (onTick)
            onTick(int(ids.size()));
        ticks.push_back(Clock::now());
    }
    void OnLoopClicked() { onClicked(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TimerDlg, CDialog)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_LOOP, OnLoopClicked)
END_MESSAGE_MAP()

// Runs the message loop until the condition holds, for at most two seconds: on a loaded machine a
// short timer's ticks may come late, so waiting a fixed time would see too few.
bool PumpUntil(const std::function<bool()>& condition)
{
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (!condition() && Clock::now() < deadline)
        AfxPumpMessages(5);
    return condition();
}

}

TEST(Timers, AHandlerThatOutlastsSeveralPeriodsGetsAtMostOneImmediateTick)
{
    constexpr auto period = std::chrono::milliseconds(40);
    TimerDlg dlg;
    dlg.onTick = [&](int n) { std::this_thread::sleep_for(n == 1 ? period * 7 / 2 : period * 0); };
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, UINT(period.count()), nullptr);
        while (dlg.ticks.size() < 4)
            AfxPumpMessages(5);
    });
    // Ticks 2 and 3 may follow tick 1 at once only if missed ticks were made up.
    EXPECT_GE(dlg.ticks[2] - dlg.ticks[0], period / 2) << "a burst of ticks followed the slow handler";
}

TEST(Failures, AHandlerThatFailsOnEveryTickRaisesOneReportAndTicksGoOn)
{
    TimerDlg dlg;
    dlg.onTick = [](int) { throw COleDispatchException("The scale is offline.", "Scale", 0, E_FAIL); };
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, 5, nullptr);
        EXPECT_TRUE(PumpUntil([&] { return dlg.ids.size() >= 4; }));
        EXPECT_EQ(AfxOpenReportCount(), 1);
        EXPECT_EQ(AfxCurrentModalDialog(), &dlg) << "a failure does not end the dialog";
        AfxDismissReports();
        EXPECT_TRUE(PumpUntil([] { return AfxOpenReportCount() == 1; }))
            << "ticks go on: after the report is closed, the next failure shows again";
        dlg.KillTimer(1);
        AfxDismissReports();
    });
    EXPECT_TRUE(dlg.ticks.empty()) << "each tick in progress was abandoned";
    EXPECT_EQ(AfxLastReportText(), "Scale: The scale is offline.");
}

TEST(Failures, EveryKindOfExceptionIsCaughtAtTheHandlerBoundaryAndHoldsBackMessageBoxes)
{
    const struct { std::function<void()> raise; const char* report; bool inInit; } rows[] = {
        {[] { throw COleException(DISP_E_MEMBERNOTFOUND); }, "The control has no such member. (error 80020003)", false},
        {[] { throw std::runtime_error("out of range"); }, "out of range", false},
        {[] { throw 42; }, "An unexpected error occurred.", false},
        {[] { throw COleDispatchException("No scale.", "", 0, E_FAIL); }, "No scale.", true}, // the dialog still runs
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.report);
        TimerDlg dlg;
        (row.inInit ? dlg.onInit : dlg.onClicked) = row.raise;
        EXPECT_EQ(AfxRunModal(dlg, [&] {
                      if (!row.inInit)
                          AfxClickItem(dlg, IDC_LOOP);
                      EXPECT_EQ(AfxMessageBox("Second"), IDOK) << "not shown while a report is open";
                      EXPECT_EQ(AfxOpenReportCount(), 1);
                      EXPECT_EQ(AfxLastReportText(), row.report);
                      AfxDismissReports();
                  }),
                  -2);
    }
}
