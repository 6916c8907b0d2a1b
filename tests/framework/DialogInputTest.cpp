// What the keyboard, the caption's close button and the system menu do to a dialog.
#include "FrameworkFixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr UINT IDM_ABOUT = 0x0010;

// Maps command 2 to a handler of its own, as the console does with Direct IO.
class InputDlg : public CDialog
{
public:
    explicit InputDlg(UINT id = IDD_TEST) : CDialog(id) {}
    int sends = 0, stops = 0, directs = 0;
    std::vector<UINT> sysCommands;
    INT_PTR aboutResult = 0;

    void OnSend() { ++sends; }
    void OnStop() { ++stops; }
    void OnDirect() { ++directs; }
    void OnSysCommand(UINT nID, LPARAM)
    {
        sysCommands.push_back(nID);
        if (nID == IDM_ABOUT) {
            CDialog about(IDD_ABOUT_TEST);
            aboutResult = about.DoModal();
        } else {
            Default();
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(InputDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_BN_CLICKED(IDC_SEND, OnSend)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_BN_CLICKED(IDC_CANCEL, OnDirect)
END_MESSAGE_MAP()

class HelpDlg : public CDialog
{
public:
    HelpDlg() : CDialog(IDD_PLAIN) {}
    int helps = 0;
    void OnHelpCommand() { ++helps; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpDlg, CDialog)
    ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

class HelpApp : public CWinApp
{
public:
    HelpApp() : CWinApp("Tarabo") {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

enum class CloseWay { Escape, CloseBox, SystemMenuClose };
const CloseWay kCloseWays[] = {CloseWay::Escape, CloseWay::CloseBox, CloseWay::SystemMenuClose};

void closeBy(CWnd& dlg, CloseWay way)
{
    switch (way) {
    case CloseWay::Escape: AfxPressKey(dlg, AfxKey::Escape); break;
    case CloseWay::CloseBox: AfxCloseBox(dlg); break;
    case CloseWay::SystemMenuClose: EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, SC_CLOSE)); break;
    }
}

QMenu* visiblePopup()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible())
            return menu;
    return nullptr;
}

QStringList actionTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QString("-") : a->text());
    return texts;
}
}

using DialogInput = FrameworkTest;

TEST_F(DialogInput, EscapeCloseBoxAndSystemMenuCloseRunTheMappedCommand2AndKeepTheDialogOpen)
{
    for (CloseWay way : kCloseWays) {
        SCOPED_TRACE(int(way));
        InputDlg dlg;
        EXPECT_EQ(AfxRunModal(dlg, [&] {
                      closeBy(dlg, way);
                      AfxPumpMessages(0);
                      EXPECT_EQ(dlg.directs, 1);
                      EXPECT_EQ(AfxCurrentModalDialog(), &dlg);
                      EXPECT_TRUE(dlg.IsWindowVisible());
                  }),
                  -2);
        if (way != CloseWay::Escape) {
            EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{SC_CLOSE});
        }
    }
}

TEST_F(DialogInput, EscapeCloseBoxAndSystemMenuCloseCancelADialogWithoutAnEntryFor2)
{
    for (CloseWay way : kCloseWays) {
        SCOPED_TRACE(int(way));
        CDialog dlg(IDD_PLAIN);
        EXPECT_EQ(AfxRunModal(dlg, [&] { closeBy(dlg, way); }), IDCANCEL);
    }
}

TEST_F(DialogInput, EnterInTheEditBoxClicksTheNextPushButtonInTabOrder)
{
    InputDlg dlg;
    AfxRunModal(dlg, [&] {
        AfxSetItemFocus(dlg, IDC_EDIT);
        AfxPressKey(dlg, AfxKey::Enter);
        EXPECT_EQ(dlg.sends, 1);
        // The keypad's Enter key does the same.
        QKeyEvent keypad(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, "\r");
        QApplication::sendEvent(dlg.GetDlgItem(IDC_EDIT)->GetSafeWidget(), &keypad);
        EXPECT_EQ(dlg.sends, 2);
        EXPECT_EQ(dlg.stops + dlg.directs, 0);
        EXPECT_EQ(AfxCurrentModalDialog(), &dlg) << "Enter never ends the dialog";
    });
}

TEST_F(DialogInput, EnterOnAPushButtonClicksItAndElsewhereDoesNothing)
{
    InputDlg dlg;
    AfxRunModal(dlg, [&] {
        AfxSetItemFocus(dlg, IDC_STOP);
        AfxPressKey(dlg, AfxKey::Enter);
        EXPECT_EQ(dlg.stops, 1);
        AfxSetItemFocus(dlg, IDC_LOOP);
        AfxPressKey(dlg, AfxKey::Enter);
        EXPECT_EQ(dlg.sends + dlg.directs, 0);
        EXPECT_EQ(dlg.stops, 1);
        EXPECT_EQ(dlg.GetDlgItem(IDC_LOOP)->GetSafeWidget()->property("checked").toBool(), false);
        EXPECT_EQ(AfxCurrentModalDialog(), &dlg);
    });
}

TEST_F(DialogInput, EnterOnTheOkButtonOfAPlainDialogEndsIt)
{
    CDialog dlg(IDD_PLAIN);
    EXPECT_EQ(AfxRunModal(dlg, [&] {
                  AfxSetItemFocus(dlg, IDOK);
                  AfxPressKey(dlg, AfxKey::Enter);
              }),
              IDOK);
}

TEST_F(DialogInput, F1GoesToTheDialogMapFirstThenToTheApplicationsHelp)
{
    HelpApp app;
    HelpDlg withEntry;
    AfxRunModal(withEntry, [&] { AfxPressKey(withEntry, AfxKey::F1); });
    EXPECT_EQ(withEntry.helps, 1);
    EXPECT_EQ(AfxOpenReportCount(), 0);

    CDialog plain(IDD_PLAIN);
    int openWhileShown = 0;
    AfxRunModal(plain, [&] {
        AfxPost(20, [&] {
            openWhileShown = AfxOpenReportCount();
            AfxDismissReports();
        });
        AfxPressKey(plain, AfxKey::F1); // the help box is modal: this returns once it is closed
    });
    EXPECT_EQ(openWhileShown, 1);
    EXPECT_EQ(AfxLastReportText(), "No help is available for Tarabo.");
}

TEST_F(DialogInput, SystemMenuStartsWithCloseAndTakesAppendedItems)
{
    InputDlg dlg;
    AfxRunModal(dlg, [&] {
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->GetMenuItemCount(), 1u);
        EXPECT_EQ(menu->GetItems()[0].nID, SC_CLOSE);
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, IDM_ABOUT, "&About Tarabo...");
        EXPECT_EQ(menu->GetMenuItemCount(), 3u);

        AfxPressKey(dlg, AfxKey::AltSpace);
        QMenu* popup = visiblePopup();
        ASSERT_NE(popup, nullptr) << "Alt+Space opens the system menu";
        EXPECT_EQ(actionTexts(popup), (QStringList{"&Close", "-", "&About Tarabo..."}));
        popup->hide();

        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2), dlg.GetSafeWidget()->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(dlg.GetSafeWidget(), &rightClick);
        popup = visiblePopup();
        ASSERT_NE(popup, nullptr) << "a right-click on the background opens it too";
        popup->hide();

        EXPECT_FALSE(AfxChooseSystemMenuItem(dlg, 0x0020));
        EXPECT_EQ(visiblePopup(), nullptr);
    });
    EXPECT_TRUE(dlg.sysCommands.empty());
}

TEST_F(DialogInput, ChoosingAnAppendedItemSendsItsIdAndCanRunANestedDialog)
{
    InputDlg dlg;
    AfxRunModal(dlg, [&] {
        dlg.GetSystemMenu(FALSE)->AppendMenu(MF_STRING, IDM_ABOUT, "&About Tarabo...");
        CDialog* nested = nullptr;
        AfxPost(20, [&] {
            nested = AfxCurrentModalDialog();
            if (nested && nested != &dlg)
                AfxClickItem(*nested, IDOK);
        });
        EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, IDM_ABOUT));
        EXPECT_NE(nested, &dlg);
        EXPECT_EQ(dlg.aboutResult, IDOK);
        EXPECT_EQ(AfxCurrentModalDialog(), &dlg);
    });
    EXPECT_EQ(dlg.sysCommands, std::vector<UINT>{IDM_ABOUT});
}

TEST_F(DialogInput, OnlyWindowsWithASystemMenuHaveOne)
{
    CDialog bare(IDD_NO_SYSMENU);
    AfxRunModal(bare, [&] {
        EXPECT_EQ(bare.GetSystemMenu(FALSE), nullptr);
        EXPECT_FALSE(bare.GetSafeWidget()->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(AfxChooseSystemMenuItem(bare, SC_CLOSE));
    });
}
