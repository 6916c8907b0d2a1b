// Timers (ticks, coalescing, nested loops) and what happens when a handler fails.
#include "FrameworkFixture.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

class TimerDlg : public CDialog
{
public:
    TimerDlg() : CDialog(IDD_PLAIN) {}
    std::vector<Clock::time_point> ticks; // when each tick's handler returned
    std::vector<UINT_PTR> ids;
    std::function<void(int)> onTick;       // given the tick's number
    std::function<void()> onClicked;

    void OnTimer(UINT_PTR nIDEvent)
    {
        ids.push_back(nIDEvent);
        if (onTick)
            onTick(int(ids.size()));
        ticks.push_back(Clock::now());
    }
    void OnLoopClicked()
    {
        if (onClicked)
            onClicked();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TimerDlg, CDialog)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_LOOP, OnLoopClicked)
END_MESSAGE_MAP()

int ticksSince(const TimerDlg& dlg, std::size_t from) { return int(dlg.ticks.size() - from); }
}

using Timers = FrameworkTest;
using Failures = FrameworkTest;

TEST_F(Timers, TicksArriveWithTheTimerIdUntilKilled)
{
    TimerDlg dlg;
    AfxRunModal(dlg, [&] {
        EXPECT_EQ(dlg.SetTimer(5, 10, nullptr), 5u);
        AfxPumpMessages(100);
        ASSERT_GE(dlg.ids.size(), 2u);
        EXPECT_EQ(dlg.ids.front(), 5u);
        EXPECT_TRUE(dlg.KillTimer(5));
        EXPECT_FALSE(dlg.KillTimer(5));
        const std::size_t before = dlg.ticks.size();
        AfxPumpMessages(60);
        EXPECT_EQ(ticksSince(dlg, before), 0);
    });
}

TEST_F(Timers, SettingAnIdAgainReplacesItsPeriod)
{
    TimerDlg dlg;
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, 60000, nullptr);
        dlg.SetTimer(1, 10, nullptr);
        AfxPumpMessages(80);
        EXPECT_GE(dlg.ticks.size(), 2u) << "the short period is in force";
        dlg.KillTimer(1);
        const std::size_t before = dlg.ticks.size();
        AfxPumpMessages(40);
        EXPECT_EQ(ticksSince(dlg, before), 0) << "one kill stops it: there was only one timer 1";
    });
}

TEST_F(Timers, SpeedupDividesThePeriod)
{
    AfxSetTimerSpeedup(1000);
    TimerDlg dlg;
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, 10000, nullptr); // 10 ms under the speedup
        AfxPumpMessages(100);
        EXPECT_GE(dlg.ticks.size(), 2u);
    });
}

TEST_F(Timers, AHandlerThatOutlastsSeveralPeriodsGetsAtMostOneImmediateTick)
{
    constexpr auto period = std::chrono::milliseconds(40);
    TimerDlg dlg;
    dlg.onTick = [&](int n) {
        if (n == 1)
            std::this_thread::sleep_for(period * 7 / 2);
    };
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, UINT(period.count()), nullptr);
        while (dlg.ticks.size() < 4)
            AfxPumpMessages(5);
        dlg.KillTimer(1);
    });
    // Ticks 2 and 3 may follow tick 1 at once only if missed ticks were made up.
    ASSERT_GE(dlg.ticks.size(), 3u);
    EXPECT_GE(dlg.ticks[2] - dlg.ticks[0], period / 2) << "a burst of ticks followed the slow handler";
}

TEST_F(Timers, TicksKeepComingWhileANestedDialogOrMessageBoxIsOpen)
{
    TimerDlg dlg;
    int duringDialog = -1, duringBox = -1;
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, 10, nullptr);
        std::size_t start = dlg.ticks.size();
        AfxPost(80, [&] {
            duringDialog = ticksSince(dlg, start);
            AfxClickItem(*AfxCurrentModalDialog(), IDOK);
        });
        CDialog about(IDD_ABOUT_TEST);
        EXPECT_EQ(about.DoModal(), IDOK);

        AfxPost(80, [&] {
            duringBox = ticksSince(dlg, start);
            AfxDismissReports();
        });
        start = dlg.ticks.size();
        AfxMessageBox("Nested");
    });
    EXPECT_GE(duringDialog, 2);
    EXPECT_GE(duringBox, 2);
}

TEST_F(Timers, TimersDieWithTheWindow)
{
    TimerDlg dlg;
    AfxRunModal(dlg, [&] { dlg.SetTimer(1, 5, nullptr); });
    const std::size_t after = dlg.ticks.size();
    AfxPumpMessages(30);
    EXPECT_EQ(dlg.ticks.size(), after);
    EXPECT_EQ(dlg.SetTimer(1, 5, nullptr), 0u) << "no window, no timer";
}

TEST_F(Failures, AHandlerThatFailsOnEveryTickRaisesOneReportAndTicksGoOn)
{
    TimerDlg dlg;
    dlg.onTick = [](int) { throw COleDispatchException("The scale is offline.", "Scale", 0, E_FAIL); };
    int open = 0;
    AfxRunModal(dlg, [&] {
        dlg.SetTimer(1, 5, nullptr);
        AfxPumpMessages(120);
        open = AfxOpenReportCount();
        EXPECT_EQ(AfxCurrentModalDialog(), &dlg) << "a failure does not end the dialog";
        AfxDismissReports();
        const std::size_t before = dlg.ids.size();
        AfxPumpMessages(40);
        EXPECT_GT(dlg.ids.size(), before);
        EXPECT_EQ(AfxOpenReportCount(), 1) << "after the report is closed, the next failure shows again";
        dlg.KillTimer(1);
        AfxDismissReports();
    });
    EXPECT_EQ(open, 1);
    EXPECT_GE(dlg.ids.size(), 5u);
    EXPECT_TRUE(dlg.ticks.empty()) << "each tick in progress was abandoned";
    EXPECT_EQ(AfxLastReportText(), "Scale: The scale is offline.");
}

TEST_F(Failures, EveryKindOfExceptionIsCaughtAtTheHandlerBoundary)
{
    const struct
    {
        std::function<void()> raise;
        const char* report;
    } rows[] = {
        {[] { throw COleException(DISP_E_MEMBERNOTFOUND); }, "The control has no such member. (error 80020003)"},
        {[] { throw std::runtime_error("out of range"); }, "out of range"},
        {[] { throw 42; }, "An unexpected error occurred."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.report);
        TimerDlg dlg;
        dlg.onClicked = row.raise;
        AfxRunModal(dlg, [&] {
            AfxClickItem(dlg, IDC_LOOP);
            EXPECT_EQ(AfxOpenReportCount(), 1);
            EXPECT_EQ(AfxLastReportText(), row.report);
            AfxDismissReports();
        });
    }
}

TEST_F(Failures, AFailingOnInitDialogIsReportedAndTheDialogStillRuns)
{
    class FailingInit : public CDialog
    {
    public:
        FailingInit() : CDialog(IDD_PLAIN) {}

    protected:
        BOOL OnInitDialog() override
        {
            CDialog::OnInitDialog();
            throw COleDispatchException("No scale.", "", 0, E_FAIL);
        }
    } dlg;
    bool ran = false;
    EXPECT_EQ(AfxRunModal(dlg, [&] {
                  ran = true;
                  EXPECT_EQ(AfxOpenReportCount(), 1);
                  AfxDismissReports();
              }),
              -2);
    EXPECT_TRUE(ran);
    EXPECT_EQ(AfxLastReportText(), "No scale.");
}

TEST_F(Failures, AMessageBoxIsNotShownWhileAFailureReportIsOpen)
{
    TimerDlg dlg;
    dlg.onClicked = [] { throw COleException(E_FAIL); };
    AfxRunModal(dlg, [&] {
        AfxClickItem(dlg, IDC_LOOP);
        EXPECT_EQ(AfxMessageBox("Second"), IDOK); // returns at once: nothing to wait for
        EXPECT_EQ(AfxOpenReportCount(), 1);
        EXPECT_NE(AfxLastReportText(), "Second");
        AfxDismissReports();
    });
}
