// The whole application headless: start-up through the application object, the window's routing
// of Escape, the close box, the system menu and Enter, the About box and minimised painting.
#include "tests/console/ConsoleHarness.h"

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

// Escape and the window's close commands send Direct IO; Enter presses the focused button, sends
// Direct IO from the command box and does nothing on the Loop box, not even check it.
TEST_F(AppTest, keysAndCloseCommandsReachTheirCommandsAndNeverEndTheConsole)
{
    const auto enter = [](CWnd& dlg) { AfxPressKey(dlg, AfxKey::Enter); };
    const struct { const char* what; int focus; std::function<void(CWnd&)> act; const char* call; } rows[] = {
        {"Escape", IDC_DIO_COMMAND, [](CWnd& dlg) { AfxPressKey(dlg, AfxKey::Escape); }, "DirectIO(7,0,null)"},
        {"close box", IDC_LOOP, AfxCloseBox, "DirectIO(7,0,null)"},
        {"system menu Close", IDC_LOOP, [](CWnd& dlg) { AfxChooseSystemMenuItem(dlg, SC_CLOSE); }, "DirectIO(7,0,null)"},
        {"Enter in the command box", IDC_DIO_COMMAND, enter, "DirectIO(7,0,null)"},
        {"Enter on Read Weight", IDC_READ_WEIGHT, enter, "ReadWeight(0,1000)"},
        {"Enter on Loop", IDC_LOOP, enter, nullptr},
    };
    const INT_PTR result = RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "7");
        for (const auto& row : rows) {
            device->ClearCalls();
            AfxSetItemFocus(dlg, row.focus);
            row.act(dlg);
            dlg.SendMessage(WM_TIMER, 1, 0);
            EXPECT_EQ(row.call ? Count(row.call) : long(device->Calls().size()), row.call ? 1 : 0) << row.what;
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

// Where the icon's drawing starts, measured against the window's background colour.
std::pair<int, int> IconOrigin(const AFX_IMAGE& image)
{
    int left = image.width, top = image.height;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.GetPixel(x, y) != image.GetPixel(0, 0))
                left = std::min(left, x), top = std::min(top, y);
    return {left, top};
}

// Against a 32 x 32 client area, where the formula puts the icon at 0, 0.
TEST_F(AppTest, minimisedConsoleCentresItsIconByTheIntegerFormula)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(reinterpret_cast<HCURSOR>(dlg.SendMessage(WM_QUERYDRAGICON)), dlg.m_hIcon);
        const auto [x0, y0] = IconOrigin(AfxPaintMinimized(dlg, 32, 32));
        for (const auto& [cx, cy] : {std::pair{101, 81}, {33, 33}, {64, 40}}) {
            const auto [x, y] = IconOrigin(AfxPaintMinimized(dlg, cx, cy));
            EXPECT_EQ(std::pair(x - x0, y - y0), std::pair((cx - 32 + 1) / 2, (cy - 32 + 1) / 2)) << cx << "x" << cy;
        }
    });
}

TEST(Resources, aboutBoxShowsTheVersionAndTheVersionBlocksNotice)
{
    const VERSIONINFO* v = AfxGetVersionInfo();
    const AFX_DLGTEMPLATE* about = AfxFindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_TRUE(v && about && about->items.size() == 4);
    EXPECT_STREQ(about->items[1].text, "Tarabo Version 1.0");
    EXPECT_STREQ(about->items[2].text, v->legalCopyright);
    EXPECT_GT(std::strlen(v->legalCopyright), 0u);
    EXPECT_STREQ(v->fileVersionText, "1, 0, 0, 1");
}

}
