// The whole application headless: start-up through the application object, the window's routing
// of Escape, the close box, the system menu and Enter, the About box and minimised painting.
#include "../console/ConsoleHarness.h"
#include "res/TaraboIcon.h"

#include <cstdio>
#include <cstring>

namespace {

class AppTest : public ConsoleTest
{
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        device->SetDefault("ReadWeight", {.result = 0, .weight = 1250});
    }
};

TEST_F(AppTest, applicationRunsTheConsoleAsItsMainWindowUntilExitWhichLeavesTheDeviceOpen)
{
    CWnd* mainWindow = nullptr;
    AfxPost(0, [&] {
        CDialog* console = AfxCurrentModalDialog();
        ASSERT_NE(console, nullptr);
        mainWindow = AfxGetApp()->m_pMainWnd;
        EXPECT_EQ(mainWindow, console);
        AfxClickItem(*console, IDC_OPEN_DEVICE);
        AfxClickItem(*console, IDOK);
    });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_NE(mainWindow, nullptr);
    EXPECT_EQ(AfxGetApp()->m_pMainWnd, nullptr);
    EXPECT_EQ(AfxCurrentModalDialog(), nullptr);
    EXPECT_EQ(Count("Claim(1000)"), 1);
    EXPECT_EQ(Count("Release()") + Count("Close()"), 0) << "the console does not close the device on the way out";
}

TEST_F(AppTest, escapeCloseBoxAndSystemMenuCloseEachRunDirectIOOnce)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "7");
        AfxPressKey(dlg, AfxKey::Escape);
        EXPECT_EQ(Count("DirectIO(7,0,null)"), 1);
        AfxCloseBox(dlg);
        EXPECT_EQ(Count("DirectIO(7,0,null)"), 2);
        EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, SC_CLOSE));
        EXPECT_EQ(Count("DirectIO(7,0,null)"), 3);
        EXPECT_TRUE(dlg.IsWindowVisible());
    });
}

// Enter presses a focused button and sends Direct IO from the command box; on the Loop box it does
// nothing, not even check it. It never ends the console.
TEST_F(AppTest, enterPressesTheFocusedButtonSendsFromTheCommandBoxAndNeverEndsTheConsole)
{
    const struct { int focus; const char* call; } rows[] = {
        {IDC_DIO_COMMAND, "DirectIO(4,0,null)"}, {IDC_READ_WEIGHT, "ReadWeight(0,1000)"}, {IDC_LOOP, nullptr}};
    const INT_PTR result = RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        for (const auto& row : rows) {
            device->ClearCalls();
            AfxSetItemFocus(dlg, row.focus);
            AfxPressKey(dlg, AfxKey::Enter);
            dlg.SendMessage(WM_TIMER, 1, 0);
            EXPECT_EQ(row.call ? Count(row.call) : long(device->Calls().size()), row.call ? 1 : 0) << row.focus;
        }
    });
    EXPECT_EQ(result, -2) << "still open when the script ended";
}

TEST_F(AppTest, aboutItemOfTheSystemMenuOpensTheAboutBoxWhileLoopReadsBehindIt)
{
    AfxSetTimerSpeedup(20);
    long readsBehind = 0;
    std::string caption;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const auto& items = dlg.GetSystemMenu(FALSE)->GetItems();
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(items[items.size() - 2].nFlags & MF_SEPARATOR, MF_SEPARATOR);
        EXPECT_EQ(items.back().nID, UINT_PTR(IDM_ABOUTBOX));
        EXPECT_EQ(items.back().text.str(), "&About Tarabo...");

        AfxClickItem(dlg, IDC_LOOP);
        AfxPost(300, [&] {
            CDialog* about = AfxCurrentModalDialog();
            ASSERT_TRUE(about && about != &dlg);
            CString text;
            about->GetWindowText(text);
            caption = text.str();
            readsBehind = Count("ReadWeight(0,1000)");
            AfxClickItem(*about, IDOK);
        });
        device->ClearCalls();
        EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, IDM_ABOUTBOX));
    });
    EXPECT_EQ(caption, "About Tarabo");
    EXPECT_GE(readsBehind, 3);
}

TEST_F(AppTest, emptyAboutStringLeavesTheSystemMenuAlone)
{
    size_t withAbout = 0, without = 0;
    RunConsole([&](CWeighConsoleDlg& dlg) { withAbout = dlg.GetSystemMenu(FALSE)->GetItems().size(); });
    const AFX_RESOURCES* original = AfxGetResourceTable();
    AFX_RESOURCES withoutStrings = *original;
    const STRINGRESOURCE empty[] = {{IDS_ABOUTBOX, ""}};
    withoutStrings.strings = empty;
    AfxSetResourceTable(&withoutStrings);
    RunConsole([&](CWeighConsoleDlg& dlg) { without = dlg.GetSystemMenu(FALSE)->GetItems().size(); });
    AfxSetResourceTable(original);
    EXPECT_EQ(withAbout, without + 2);
}

TEST_F(AppTest, consoleWithoutItsControlClassIsNeverShown)
{
    const char* clsid = "{83029FA3-4740-11CF-88F3-02608CA3BE43}";
    ASSERT_NE(AfxCreateControlInstance(clsid), nullptr);
    AfxUnregisterControlClass(clsid);
    bool ran = false;
    CWeighConsoleDlg dlg;
    const INT_PTR result = AfxRunModal(dlg, [&] { ran = true; });
    AfxRegisterControlClass(clsid, [] { return std::make_unique<COposScaleControl>(opos::CreateScaleService()); });
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(device->Calls().empty());
}

// The top-left pixel of the icon's own drawing (its first opaque column and row).
std::pair<int, int> IconInk()
{
    const auto xpm = g_taraboIconImages[0].xpm;
    int colours = 0;
    std::sscanf(xpm[0], "%*d %*d %d", &colours);
    int left = 32, top = -1;
    for (int y = 0; y < 32; ++y) {
        const char* row = xpm[std::size_t(1 + colours + y)];
        const int x = int(std::strspn(row, "."));
        if (x < 32 && top < 0)
            top = y;
        left = std::min(left, x);
    }
    return {left, top};
}

TEST_F(AppTest, minimisedConsoleCentresItsIconByTheIntegerFormula)
{
    const auto [inkX, inkY] = IconInk();
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(reinterpret_cast<HCURSOR>(dlg.SendMessage(WM_QUERYDRAGICON)), dlg.m_hIcon);
        for (const auto& [cx, cy] : {std::pair{101, 81}, {33, 33}, {32, 32}}) {
            const AFX_IMAGE image = AfxPaintMinimized(dlg, cx, cy);
            ASSERT_EQ(image.width, cx);
            const COLORREF background = image.GetPixel(0, 0);
            int left = cx, top = cy;
            for (int y = 0; y < cy; ++y)
                for (int x = 0; x < cx; ++x)
                    if (image.GetPixel(x, y) != background)
                        left = std::min(left, x), top = std::min(top, y);
            EXPECT_EQ(left - inkX, (cx - 32 + 1) / 2) << cx;
            EXPECT_EQ(top - inkY, (cy - 32 + 1) / 2) << cy;
        }
    });
}

TEST(Resources, aboutBoxShowsTheVersionAndTheVersionBlocksNotice)
{
    const VERSIONINFO* v = AfxGetVersionInfo();
    const DLGTEMPLATE* about = AfxFindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_TRUE(v && about && about->items.size() == 4);
    EXPECT_STREQ(about->items[1].text, "Tarabo Version 1.0");
    EXPECT_STREQ(about->items[2].text, v->legalCopyright);
    EXPECT_GT(std::strlen(v->legalCopyright), 0u);
    EXPECT_STREQ(v->fileVersionText, "1, 0, 0, 1");
}

}
