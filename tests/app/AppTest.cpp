// The whole application headless: start-up through the application object, the window's routing
// of Escape, the close box and the system menu, Enter, the About box and minimised painting.
#include "../console/ConsoleHarness.h"
#include "res/TaraboIcon.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace {

class AppTest : public ConsoleTest
{
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        device->maximumWeight = 15000;
        device->SetDefault("ReadWeight", {.result = 0, .weight = 1250});
    }
};

TEST_F(AppTest, applicationRunsTheConsoleOnceAndEndsOnExit)
{
    AfxSetTimerSpeedup(20);
    bool sawConsole = false;
    AfxPost(0, [&] {
        CDialog* console = AfxCurrentModalDialog();
        ASSERT_NE(console, nullptr);
        sawConsole = AfxGetApp()->m_pMainWnd == console;
        AfxClickItem(*console, IDC_OPEN_DEVICE);
        AfxClickItem(*console, IDC_READ_WEIGHT);
        AfxClickItem(*console, IDC_LOOP);
        AfxPumpMessages(200);
        AfxClickItem(*console, IDC_LOOP);
        console->SetDlgItemText(IDC_DIO_COMMAND, "4");
        AfxClickItem(*console, IDCANCEL);
        AfxClickItem(*console, IDC_CLOSE_DEVICE);
        AfxClickItem(*console, IDOK);
    });
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_TRUE(sawConsole);
    EXPECT_EQ(AfxGetApp()->m_pMainWnd, nullptr);
    EXPECT_EQ(AfxCurrentModalDialog(), nullptr);

    const Calls& calls = device->Calls();
    const Calls opening = {"GetMaximumWeight", "GetMaximumWeight", "GetWeightUnit", "Open(K350)", "Claim(1000)",
                           "SetDeviceEnabled(true)", "ClearInput()", "ReadWeight(0,1000)"};
    ASSERT_GE(calls.size(), opening.size());
    EXPECT_EQ(Calls(calls.begin(), calls.begin() + long(opening.size())), opening);
    EXPECT_GE(Count("ReadWeight(0,1000)"), 4); // Open's, the button's, and Loop's
    EXPECT_EQ(Count("DirectIO(4,0,null)"), 1);
    const Calls closing = {"ClearInput()", "Release()", "Close()", "GetMaximumWeight", "GetMaximumWeight",
                           "GetWeightUnit"};
    EXPECT_EQ(Calls(calls.end() - long(closing.size()), calls.end()), closing);
}

TEST_F(AppTest, exitEndsTheConsoleWhileTheDeviceIsOpenAndClaimed)
{
    const INT_PTR result = RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        AfxClickItem(dlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    // The console does not close the device on the way out.
    EXPECT_EQ(Count("Release()"), 0);
    EXPECT_EQ(Count("Close()"), 0);
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

TEST_F(AppTest, enterInTheCommandBoxSendsDirectIOAndNeverEndsTheConsole)
{
    bool open = false;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        AfxSetItemFocus(dlg, IDC_DIO_COMMAND);
        AfxPressKey(dlg, AfxKey::Enter);
        EXPECT_EQ(Count("DirectIO(4,0,null)"), 1);

        // Enter on a focused button presses that button.
        AfxSetItemFocus(dlg, IDC_READ_WEIGHT);
        device->ClearCalls();
        AfxPressKey(dlg, AfxKey::Enter);
        EXPECT_EQ(Count("ReadWeight(0,1000)"), 1);

        // On the check box it does nothing.
        AfxSetItemFocus(dlg, IDC_LOOP);
        device->ClearCalls();
        AfxPressKey(dlg, AfxKey::Enter);
        EXPECT_TRUE(device->Calls().empty());
        open = dlg.IsWindowVisible();
    });
    EXPECT_TRUE(open);
}

TEST_F(AppTest, aboutItemOpensTheAboutBoxWhileLoopReadsBehindIt)
{
    AfxSetTimerSpeedup(20);
    long readsBehind = 0;
    std::string aboutText;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        const auto& items = menu->GetItems();
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(items[items.size() - 2].nFlags & MF_SEPARATOR, MF_SEPARATOR);
        EXPECT_EQ(items.back().nID, UINT_PTR(IDM_ABOUTBOX));
        EXPECT_EQ(items.back().text.str(), "&About Tarabo...");

        AfxClickItem(dlg, IDC_LOOP);
        AfxPost(300, [&] {
            CDialog* about = AfxCurrentModalDialog();
            ASSERT_NE(about, nullptr);
            ASSERT_NE(about, &dlg);
            EXPECT_EQ(about->GetTemplateID(), UINT(IDD_ABOUTBOX));
            CString caption;
            about->GetWindowText(caption);
            aboutText = caption.str();
            readsBehind = Count("ReadWeight(0,1000)");
            AfxClickItem(*about, IDOK);
        });
        EXPECT_TRUE(AfxChooseSystemMenuItem(dlg, IDM_ABOUTBOX));
        AfxClickItem(dlg, IDC_LOOP);
    });
    EXPECT_EQ(aboutText, "About Tarabo");
    EXPECT_GE(readsBehind, 3);
}

// Choosing About with the keyboard runs the About box from inside the menu's own key handling,
// which carries on with the menu once the box closes: the menu must still be there.
TEST_F(AppTest, systemMenuOutlivesTheAboutBoxItOpened)
{
    bool menuAliveDuringAbout = false;
    QPointer<QMenu> menu;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxPressKey(dlg, AfxKey::AltSpace);
        menu = dlg.GetSafeWidget()->findChild<QMenu*>();
        ASSERT_TRUE(menu && menu->isVisible());
        AfxPost(200, [&] {
            menuAliveDuringAbout = !menu.isNull();
            ASSERT_NE(AfxCurrentModalDialog(), &dlg);
            AfxCurrentModalDialog()->EndDialog(IDOK);
        });
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(menu, &key);
        EXPECT_FALSE(menu.isNull());
    });
    EXPECT_TRUE(menuAliveDuringAbout);
}

TEST_F(AppTest, emptyAboutStringLeavesTheSystemMenuAlone)
{
    const AFX_RESOURCES* original = AfxGetResourceTable();
    AFX_RESOURCES withoutStrings = *original;
    const STRINGRESOURCE empty[] = {{IDS_ABOUTBOX, ""}};
    withoutStrings.strings = empty;
    AfxSetResourceTable(&withoutStrings);
    size_t itemCount = 0;
    RunConsole([&](CWeighConsoleDlg& dlg) { itemCount = dlg.GetSystemMenu(FALSE)->GetItems().size(); });
    AfxSetResourceTable(original);
    size_t withAbout = 0;
    RunConsole([&](CWeighConsoleDlg& dlg) { withAbout = dlg.GetSystemMenu(FALSE)->GetItems().size(); });
    EXPECT_EQ(withAbout, itemCount + 2);
}

TEST_F(AppTest, consoleWithoutItsControlClassIsNeverShown)
{
    const char* clsid = "{83029FA3-4740-11CF-88F3-02608CA3BE43}";
    auto saved = AfxCreateControlInstance(clsid); // proves it is registered before
    ASSERT_NE(saved, nullptr);
    AfxUnregisterControlClass(clsid);
    bool ran = false;
    CWeighConsoleDlg dlg;
    const INT_PTR result = AfxRunModal(dlg, [&] { ran = true; });
    AfxRegisterControlClass(clsid, [] { return std::make_unique<COposScaleControl>(opos::CreateScaleService()); });
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(device->Calls().empty());
}

// Where the minimised console draws its icon, found on the real pixels.
QPoint PaintedIconOrigin(CWeighConsoleDlg& dlg, QSize clientSize)
{
    QWidget* window = dlg.GetSafeWidget();
    window->setMinimumSize(clientSize);
    window->setMaximumSize(clientSize);
    window->resize(clientSize);
    window->setWindowState(window->windowState() | Qt::WindowMinimized);
    QImage image(clientSize, QImage::Format_ARGB32);
    image.fill(Qt::black);
    window->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);

    // The icon's own first opaque pixel, then the same pixel on the window.
    const QImage icon(g_taraboIconImages[0].xpm.data());
    QPoint inIcon(-1, -1);
    for (int y = 0; y < icon.height() && inIcon.x() < 0; ++y)
        for (int x = 0; x < icon.width(); ++x)
            if (qAlpha(icon.pixel(x, y)) == 255) {
                inIcon = QPoint(x, y);
                break;
            }
    const QRgb target = icon.pixel(inIcon);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == target && image.pixel(x + 1, y) == icon.pixel(inIcon + QPoint(1, 0)))
                return QPoint(x, y) - inIcon;
    return {-1, -1};
}

TEST_F(AppTest, minimisedConsoleCentresItsIconByTheIntegerFormula)
{
    const QSize sizes[] = {{101, 81}, {100, 80}, {33, 33}, {32, 32}};
    RunConsole([&](CWeighConsoleDlg& dlg) {
        EXPECT_EQ(reinterpret_cast<HCURSOR>(dlg.SendMessage(WM_QUERYDRAGICON)), dlg.m_hIcon);
        for (QSize size : sizes) {
            const QPoint origin = PaintedIconOrigin(dlg, size);
            EXPECT_EQ(origin, QPoint((size.width() - 32 + 1) / 2, (size.height() - 32 + 1) / 2)) << size.width();
        }
    });
}

TEST_F(AppTest, itemsReachScreenReadersByTheirTexts)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const struct { int id; const char* name; } named[] = {
            {IDOK, "Exit"}, {IDCANCEL, "Direct IO"}, {IDC_READ_WEIGHT, "Read Weight"}, {IDC_LOOP, "Loop"},
            {IDC_OPEN_DEVICE, "Open"}, {IDC_CLOSE_DEVICE, "Close"}, {IDC_RESULT_NAME, "-"}, {IDC_WEIGHT, "..."},
        };
        for (const auto& n : named) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dlg.GetDlgItem(n.id)->GetSafeWidget());
            ASSERT_NE(a, nullptr) << n.id;
            EXPECT_EQ(a->text(QAccessible::Name).remove('&').toStdString(), n.name) << n.id;
        }
        device->Queue("ReadWeight", {.result = 0, .weight = 2500});
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        QAccessibleInterface* weight = QAccessible::queryAccessibleInterface(dlg.GetDlgItem(IDC_WEIGHT)->GetSafeWidget());
        EXPECT_EQ(weight->text(QAccessible::Name).toStdString(), "2.500");

        dlg.SetDlgItemText(IDC_DIO_COMMAND, "42");
        QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(dlg.GetDlgItem(IDC_DIO_COMMAND)->GetSafeWidget());
        EXPECT_EQ(edit->text(QAccessible::Value).toStdString(), "42");
    });
}

}

namespace {

TEST(Resources, aboutBoxNoticeIsTheVersionBlocksNotice)
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
