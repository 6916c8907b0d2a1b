// The console's window as its template lays it out, and what the window shows of it.
#include "tests/console/ConsoleHarness.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE, kButton = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;

struct ItemRow
{
    int id;
    const char* windowClass;
    const char* text; // as the window shows it once the console is up
    short x, y, cx, cy;
    DWORD style;
};

// The sixteen items, in tab order.
const ItemRow kItems[] = {
    {IDOK, "BUTTON", "Exit", 119, 165, 50, 14, kButton},
    {IDC_DIO_COMMAND, "EDIT", "", 65, 118, 22, 14, kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {IDCANCEL, "BUTTON", "Direct IO", 7, 118, 50, 14, kButton},
    {IDC_READ_WEIGHT, "BUTTON", "Read Weight", 7, 67, 50, 14, kButton},
    {IDC_WEIGHT, "STATIC", "...", 69, 55, 150, 36, kChild | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_BORDER | WS_GROUP},
    {IDC_GAUGE, "STATIC", "", 226, 55, 45, 36, kChild | SS_BLACKRECT | WS_BORDER},
    {IDC_LOOP, "BUTTON", "Loop", 7, 91, 46, 16, kChild | BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_OPEN_DEVICE, "BUTTON", "Open", 7, 9, 50, 14, kButton},
    {IDC_STATUS, "STATIC", "", 69, 8, 169, 16, kChild | SS_LEFT | SS_CENTERIMAGE | SS_SUNKEN | WS_BORDER | WS_GROUP},
    {IDC_CLOSE_DEVICE, "BUTTON", "Close", 248, 9, 50, 14, kButton},
    {IDC_SCALE, "{83029FA3-4740-11CF-88F3-02608CA3BE43}", nullptr, 13, 153, 19, 17, kChild | WS_TABSTOP},
    {IDC_CAPACITY, "STATIC", "Max Weight 2 Kg", 71, 29, 161, 21, kChild | SS_LEFT | WS_GROUP},
    {IDC_DIO_RESULT, "STATIC", "", 99, 118, 99, 14, kChild | SS_LEFT | WS_GROUP},
    {IDC_STATIC, "BUTTON", "", 203, 127, 95, 52, kChild | BS_GROUPBOX},
    {IDC_RESULT_HEX, "STATIC", "-", 209, 136, 80, 16, kChild | SS_CENTER | WS_GROUP},
    {IDC_RESULT_NAME, "STATIC", "-", 209, 159, 80, 16, kChild | SS_CENTER | WS_GROUP},
};

using LayoutTest = ConsoleTest;

TEST_F(LayoutTest, templateHoldsTheSixteenItemsInTabOrderAndTheWindowShowsTheirTexts)
{
    const AFX_DLGTEMPLATE* t = AfxFindDialogTemplate(IDD_CONSOLE);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->style, DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
    EXPECT_EQ(t->exStyle, WS_EX_APPWINDOW);
    EXPECT_TRUE(t->cx == 305 && t->cy == 186 && t->pointSize == 8);
    EXPECT_STREQ(t->fontFace, "MS Sans Serif");
    ASSERT_EQ(t->items.size(), std::size(kItems));
    EXPECT_EQ(t->items[10].initData.size(), 20u) << "the scale control's persisted state";
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (std::size_t i = 0; i < std::size(kItems); ++i) {
            const ItemRow& want = kItems[i];
            const AFX_DLGITEMTEMPLATE& item = t->items[i];
            SCOPED_TRACE(want.id);
            EXPECT_EQ(item.id, want.id);
            EXPECT_STREQ(item.windowClass, want.windowClass);
            EXPECT_EQ(std::vector<short>({item.x, item.y, item.cx, item.cy}),
                      std::vector<short>({want.x, want.y, want.cx, want.cy}));
            EXPECT_EQ(item.style, want.style);
            if (want.text && want.id != IDC_STATIC) {
                EXPECT_EQ(Text(dlg, want.id), want.text);
            }
        }
    });
}

TEST_F(LayoutTest, windowShowsItsCaptionAndIconsWithTheFocusOnExitAndTheWeightInLargeBoldArial)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        CString caption;
        dlg.GetWindowText(caption);
        EXPECT_EQ(caption.str(), "Tarabo");
        EXPECT_TRUE(dlg.GetIcon(TRUE) == dlg.m_hIcon && dlg.GetIcon(FALSE) == dlg.m_hIcon);
        EXPECT_EQ(AfxFocusedItemId(dlg), IDOK);

        const AFX_FONTINFO font = AfxGetItemFont(*dlg.GetDlgItem(IDC_WEIGHT));
        EXPECT_EQ(font.height, 74);
        EXPECT_NEAR(font.averageWidth, 26, 2);
        EXPECT_EQ(font.weight, FW_BOLD);
        EXPECT_FALSE(font.italic);
        EXPECT_TRUE(font.face == "Arial" || font.face == "Liberation Sans") << font.face.str();
    });
}

}
