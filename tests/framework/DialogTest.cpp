// Dialogs built from templates: what the keyboard, the caption's close button and the system menu
// do to them, and the cases where DoModal must fail showing nothing.
#include "tests/framework/FrameworkFixture.h"

namespace {
// Takes the help command in its own map; ends itself in OnInitDialog when told to.
struct InputDlg : CDialog
{
    explicit InputDlg(UINT id = IDD_PLAIN) : CDialog(id) {}
    int helps = 0;
    int endInInit = 0, visibleAfterInit = -1; // EndDialog(endInInit) inside OnInitDialog unless 0

    void OnHelpCommand() { ++helps; }
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

// What they do where command 2 is mapped, the console's tests show.
TEST(DialogInput, EscapeCloseBoxAndSystemMenuCloseEndADialogThatDoesNotMapCommand2)
{
    const std::function<void(CWnd&)> ways[] = {[](CWnd& dlg) { AfxPressKey(dlg, AfxKey::Escape); }, AfxCloseBox,
                                               [](CWnd& dlg) { EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, SC_CLOSE)); }};
    for (const auto& way : ways) {
        CDialog plain(IDD_PLAIN);
        EXPECT_EQ(AfxRunModal(plain, [&] { way(plain); }), IDCANCEL);
    }
    CDialog plain(IDD_PLAIN);
    AfxRunModal(plain, [&] { EXPECT_FALSE(AfxChooseSystemMenuItem(plain, 0x0020)) << "no such item"; });
}

TEST(DialogInput, F1GoesToTheDialogsMapThenToTheApplicationsAndEnterOnOkEndsTheDialog)
{
    HelpApp app;
    InputDlg mapped;
    EXPECT_EQ(AfxRunModal(mapped, [&] { AfxPressKey(mapped, AfxKey::F1); }), -2);
    EXPECT_EQ(mapped.helps, 1);
    CDialog plain(IDD_PLAIN);
    EXPECT_EQ(AfxRunModal(plain, [&] {
                  AfxPost(20, [] { AfxDismissReports(); });
                  AfxPressKey(plain, AfxKey::F1); // the help box is modal: this returns once it is closed
                  EXPECT_EQ(AfxLastReportText(), "No help is available for Tarabo.");
                  AfxSetItemFocus(plain, IDOK);
                  AfxPressKey(plain, AfxKey::Enter);
              }),
              IDOK);
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
