// Dialogs built from templates: what the keyboard, the caption's close button and the system menu
// do to them, and the cases where DoModal must fail showing nothing.
#include "FrameworkFixture.h"

namespace {
// Maps command 2 to a handler of its own, as the console does with Direct IO.
struct InputDlg : CDialog
{
    explicit InputDlg(UINT id = IDD_TEST) : CDialog(id) {}
    int sends = 0, stops = 0, directs = 0, helps = 0;
    std::vector<UINT> sysCommands;
    int endInInit = 0, visibleAfterInit = -1; // EndDialog(endInInit) inside OnInitDialog unless 0

    void OnSend() { ++sends; }
    void OnStop() { ++stops; }
    void OnDirect() { ++directs; }
    void OnHelpCommand() { ++helps; }
    void OnSysCommand(UINT nID, LPARAM) { sysCommands.push_back(nID), Default(); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (endInInit)
            EndDialog(endInInit);
        visibleAfterInit = IsWindowVisible();
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(InputDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_BN_CLICKED(IDC_SEND, OnSend)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_BN_CLICKED(IDC_CANCEL, OnDirect)
    ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

struct HelpApp : CWinApp
{
    HelpApp() : CWinApp("Tarabo") {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()
}

TEST(DialogInput, EscapeCloseBoxAndSystemMenuCloseRunCommand2WhichEndsTheDialogOnlyWhenUnmapped)
{
    const std::function<void(CWnd&)> ways[] = {[](CWnd& dlg) { AfxPressKey(dlg, AfxKey::Escape); }, AfxCloseBox,
                                               [](CWnd& dlg) { EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, SC_CLOSE)); }};
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        InputDlg mapped;
        EXPECT_EQ(AfxRunModal(mapped, [&] {
                      ways[way](mapped);
                      AfxPumpMessages(0);
                      EXPECT_EQ(mapped.directs, 1);
                      EXPECT_TRUE(mapped.IsWindowVisible());
                  }),
                  -2);
        EXPECT_EQ(mapped.sysCommands, way == 0 ? std::vector<UINT>{} : std::vector<UINT>{SC_CLOSE});
        CDialog plain(IDD_PLAIN);
        EXPECT_EQ(AfxRunModal(plain, [&] { ways[way](plain); }), IDCANCEL);
    }
    InputDlg dlg;
    AfxRunModal(dlg, [&] { EXPECT_FALSE(AfxChooseSystemMenuItem(dlg, 0x0020)) << "no such item"; });
}

TEST(DialogInput, EnterClicksTheFocusedOrNextPushButtonAndF1GoesToTheDialogMapThenToTheApplication)
{
    HelpApp app;
    const struct { int focus, sends, stops; } rows[] = {{IDC_EDIT, 1, 0}, {IDC_STOP, 0, 1}, {IDC_LOOP, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.focus);
        InputDlg dlg;
        EXPECT_EQ(AfxRunModal(dlg, [&] {
                      AfxSetItemFocus(dlg, row.focus);
                      AfxPressKey(dlg, AfxKey::Enter);
                      AfxPressKey(dlg, AfxKey::F1);
                  }),
                  -2) << "Enter never ends this dialog";
        EXPECT_EQ(std::vector<int>({dlg.sends, dlg.stops, dlg.directs, dlg.helps}),
                  std::vector<int>({row.sends, row.stops, 0, 1}));
    }
    CDialog plain(IDD_PLAIN);
    EXPECT_EQ(AfxRunModal(plain, [&] {
                  AfxPost(20, [] { AfxDismissReports(); });
                  AfxPressKey(plain, AfxKey::F1); // the help box is modal: this returns once it is closed
                  EXPECT_EQ(AfxLastReportText(), "No help is available for Tarabo.");
                  AfxSetItemFocus(plain, IDOK);
                  AfxPressKey(plain, AfxKey::Enter);
              }),
              IDOK) << "Enter on OK ends a plain dialog";
}

TEST(DialogLife, DoModalFailsAtOnceWithoutShowingAnythingAndEndDialogInOnInitDialogShowsNothing)
{
    const struct { const char* why; UINT id; bool containerEnabled; int endInInit; INT_PTR result; } rows[] = {
        {"missing template", IDD_MISSING, true, 0, -1},
        {"control class not registered", IDD_UNKNOWN_CTL, true, 0, -1},
        {"control hosting not enabled", IDD_TEST, false, 0, -1},
        {"without hosting, a template without controls still runs", IDD_PLAIN, false, 0, -2},
        {"EndDialog in OnInitDialog", IDD_PLAIN, true, 7, 7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        row.containerEnabled ? AfxEnableControlContainer() : AfxDisableControlContainer();
        InputDlg dlg(row.id);
        dlg.endInInit = row.endInInit;
        bool scriptRan = false;
        EXPECT_EQ(AfxRunModal(dlg, [&] { scriptRan = true; }), row.result);
        EXPECT_EQ(scriptRan, row.result == -2);
        EXPECT_EQ(dlg.visibleAfterInit, row.result == -1 ? -1 : FALSE) << "-1: OnInitDialog never ran";
        EXPECT_EQ(FakeControl::liveCount, 0);
    }
    AfxEnableControlContainer();
}
