// What the keyboard, the caption's close button and the system menu do to a dialog.
#include "FrameworkFixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr UINT IDM_ABOUT = 0x0010;

// Maps command 2 to a handler of its own, as the console does with Direct IO.
struct InputDlg : CDialog
{
    InputDlg() : CDialog(IDD_TEST) {}
    int sends = 0, stops = 0, directs = 0, helps = 0;
    std::vector<UINT> sysCommands;
    INT_PTR aboutResult = 0;

    void OnSend() { ++sends; }
    void OnStop() { ++stops; }
    void OnDirect() { ++directs; }
    void OnHelpCommand() { ++helps; }
    void OnSysCommand(UINT nID, LPARAM)
    {
        sysCommands.push_back(nID);
        if (nID != IDM_ABOUT)
            return void(Default());
        aboutResult = CDialog(IDD_ABOUT_TEST).DoModal();
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

QMenu* openPopup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
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
}

TEST(DialogInput, EnterClicksTheFocusedOrNextPushButtonAndF1GoesToTheDialogMapThenToTheApplication)
{
    HelpApp app;
    const struct { int focus; bool keypad; int sends, stops; } rows[] = {
        {IDC_EDIT, false, 1, 0}, {IDC_EDIT, true, 1, 0}, {IDC_STOP, false, 0, 1}, {IDC_LOOP, false, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.focus << (row.keypad ? " keypad" : ""));
        InputDlg dlg;
        EXPECT_EQ(AfxRunModal(dlg, [&] {
                      AfxSetItemFocus(dlg, row.focus);
                      QKeyEvent keypad(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, "\r");
                      row.keypad ? void(QApplication::sendEvent(item(dlg, row.focus), &keypad))
                                 : AfxPressKey(dlg, AfxKey::Enter);
                      EXPECT_FALSE(item(dlg, IDC_LOOP)->property("checked").toBool());
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

TEST(DialogInput, SystemMenuOpensByAltSpaceOrRightClickAndAnAppendedItemCanRunANestedDialog)
{
    InputDlg dlg;
    AfxRunModal(dlg, [&] {
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, IDM_ABOUT, "&About Tarabo...");
        AfxPressKey(dlg, AfxKey::AltSpace);
        QMenu* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        const QList<QAction*> items = popup->actions();
        ASSERT_EQ(items.size(), 3);
        EXPECT_TRUE(items[0]->text() == "&Close" && items[1]->isSeparator() && items[2]->text() == "&About Tarabo...");
        popup->hide();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2), dlg.GetSafeWidget()->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(dlg.GetSafeWidget(), &rightClick);
        ASSERT_NE(popup = openPopup(), nullptr) << "a right-click on the background opens it too";
        popup->hide();
        EXPECT_FALSE(AfxChooseSystemMenuItem(dlg, 0x0020));

        AfxPost(20, [&] {
            if (AfxCurrentModalDialog() != &dlg)
                AfxClickItem(*AfxCurrentModalDialog(), IDOK);
        });
        EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, IDM_ABOUT));
        EXPECT_EQ(dlg.aboutResult, IDOK);
        EXPECT_EQ(AfxCurrentModalDialog(), &dlg);
    });
    EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{IDM_ABOUT});
}
