// What the Qt backend makes of templates, keys, menus and fonts, checked on the Qt widgets.
#include "tests/framework/FrameworkFixture.h"
#include "framework/qt/AfxConvert.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace {
constexpr UINT IDM_ABOUT = 0x0010;

QWidget* item(CWnd& dlg, int id) { CWnd* w = dlg.GetDlgItem(id); return w ? w->GetSafeWidget() : nullptr; }
int mulDiv(int a, int b, int c) { return (a * b + c / 2) / c; } // rounds as Windows does

struct ClickDlg : CDialog
{
    ClickDlg() : CDialog(IDD_TEST) {}
    int sends = 0;
    INT_PTR aboutResult = 0;
    void OnSend() { ++sends; }
    void OnSysCommand(UINT nID, LPARAM) { nID == IDM_ABOUT ? void(aboutResult = CDialog(IDD_ABOUT_TEST).DoModal()) : void(Default()); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ClickDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_BN_CLICKED(IDC_SEND, OnSend)
END_MESSAGE_MAP()
}

TEST(QtDialog, ItemsArePlacedInDialogUnitsOfTheTemplateFontAsTheirKindsWithTheirStylesAndTabOrder)
{
    CDialog dlg(IDD_TEST), plain(IDD_PLAIN);
    AfxRunModal(dlg, [&] {
        const QWidget* w = dlg.GetSafeWidget();
        EXPECT_EQ(QFontInfo(w->font()).pixelSize(), 11) << "8 points at 96 dots an inch";
        const QFontMetrics fm(w->font());
        const int bx = (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") + 26) / 52;
        const int by = fm.height();
        EXPECT_EQ(w->size(), QSize(mulDiv(200, bx, 4), mulDiv(120, by, 8)));
        const struct { int id, x, y, cx, cy; } rows[] = {{IDC_EDIT, 10, 10, 60, 12}, {IDC_SCALE, 150, 50, 20, 20}};
        for (const auto& r : rows) {
            CRect rc;
            dlg.GetDlgItem(r.id)->GetWindowRect(&rc);
            EXPECT_EQ(QRect(rc.left, rc.top, rc.Width(), rc.Height()), item(dlg, r.id)->geometry());
            EXPECT_EQ(item(dlg, r.id)->geometry(),
                      QRect(mulDiv(r.x, bx, 4), mulDiv(r.y, by, 8), mulDiv(r.cx, bx, 4), mulDiv(r.cy, by, 8)));
        }

        auto* send = qobject_cast<QPushButton*>(item(dlg, IDC_SEND));
        ASSERT_NE(send, nullptr);
        EXPECT_FALSE(send->autoDefault() || send->isDefault());
        EXPECT_TRUE(qobject_cast<QLineEdit*>(item(dlg, IDC_EDIT)) && qobject_cast<QCheckBox*>(item(dlg, IDC_LOOP)) &&
                    qobject_cast<QGroupBox*>(item(dlg, IDC_GROUP)));
        auto* weight = qobject_cast<QLabel*>(item(dlg, IDC_WEIGHT));
        auto* status = qobject_cast<QLabel*>(item(dlg, IDC_STATUS));
        ASSERT_TRUE(weight && status);
        EXPECT_EQ(weight->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
        EXPECT_EQ(status->frameShadow(), QFrame::Sunken) << "WS_EX_STATICEDGE";
        EXPECT_EQ(status->text(), QString("A & B")) << "'&&' shows one ampersand";
        EXPECT_EQ(qobject_cast<QFrame*>(item(dlg, IDC_GAUGE))->frameShape(), QFrame::Box) << "WS_BORDER";
        std::vector<QWidget*> order; // the widgets Tab visits, from the edit box on
        for (QWidget* f = item(dlg, IDC_EDIT); f && order.size() < 6; f = f->nextInFocusChain())
            if (f->focusPolicy() & Qt::TabFocus)
                order.push_back(f);
        EXPECT_EQ(order, (std::vector<QWidget*>{item(dlg, IDC_EDIT), item(dlg, IDC_SEND), item(dlg, IDC_LOOP),
                                                item(dlg, IDC_STOP), item(dlg, IDC_CANCEL), item(dlg, IDC_EDIT)}));
        EXPECT_EQ(AfxFocusedItemId(dlg), IDC_EDIT) << "the first tab stop has the focus";

        EXPECT_EQ(w->windowTitle(), QString("Test console"));
        EXPECT_EQ(w->windowType(), Qt::Window) << "WS_EX_APPWINDOW: a taskbar entry of its own";
        EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    });
    AfxRunModal(plain, [&] { EXPECT_EQ(plain.GetSafeWidget()->windowType(), Qt::Dialog); });
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(BYTE(face.red()), BYTE(face.green()), BYTE(face.blue())));
}

// Choosing About with the keyboard runs the About box from inside the menu's own key handling,
// which carries on with the menu once the box closes: the menu must still be there.
TEST(QtDialog, SystemMenuPopsUpByAltSpaceOrRightClickAndOutlivesTheDialogAnItemOpenedAndKeypadEnterIsEnter)
{
    ClickDlg dlg;
    AfxRunModal(dlg, [&] {
        QKeyEvent keypad(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, "\r");
        QApplication::sendEvent(item(dlg, IDC_EDIT), &keypad);
        EXPECT_EQ(dlg.sends, 1);
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, IDM_ABOUT, "&About Tarabo...");
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2), dlg.GetSafeWidget()->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(dlg.GetSafeWidget(), &rightClick);
        QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr) << "a right-click on the background opens it";
        popup->hide();

        AfxPressKey(dlg, AfxKey::AltSpace);
        QPointer<QMenu> open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(open && open->isVisible());
        const QList<QAction*> items = open->actions();
        ASSERT_EQ(items.size(), 3);
        EXPECT_TRUE(items[0]->text() == "&Close" && items[1]->isSeparator() && items[2]->text() == "&About Tarabo...");
        bool aliveDuringAbout = false;
        AfxPost(50, [&] {
            aliveDuringAbout = !open.isNull();
            AfxClickItem(*AfxCurrentModalDialog(), IDOK);
        });
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(open, &key);
        EXPECT_TRUE(aliveDuringAbout && !open.isNull());
        EXPECT_EQ(dlg.aboutResult, IDOK);
    });
}

TEST(QtFonts, NegativeHeightIsTheCharacterHeightPositiveTheTallestCellNotAboveItAndStaticsTakeIt)
{
    CFont small, forty; // the console's own weight font: its tests
    small.CreateFont(-20, 0, 0, 0, 400, TRUE, TRUE, TRUE, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    const QFont& f = *AfxQFont(small);
    EXPECT_TRUE(QFontInfo(f).pixelSize() == 20 && f.italic() && f.underline() && f.strikeOut());
    EXPECT_EQ(f.family(), QApplication::font().family()) << "MS Sans Serif stands for the default sans";
    EXPECT_TRUE(small.DeleteObject() && !small.IsCreated());

    forty.CreateFont(40, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, VARIABLE_PITCH | FF_SWISS, "Arial");
    CDialog dlg(IDD_TEST);
    AfxRunModal(dlg, [&] {
        dlg.GetDlgItem(IDC_WEIGHT)->SetFont(&forty);
        EXPECT_EQ(dlg.GetDlgItem(IDC_WEIGHT)->GetFont(), &forty);
        EXPECT_EQ(AfxGetItemFont(*dlg.GetDlgItem(IDC_WEIGHT)).height, 39) << "the tallest cell not above 40";
    });
}
