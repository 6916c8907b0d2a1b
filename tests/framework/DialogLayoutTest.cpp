// Dialogs built from templates: placement in dialog units, item kinds, ids, tab order, the window
// itself, and the cases where DoModal must fail without showing anything.
#include "FrameworkFixture.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
struct TestDlg : CDialog
{
    explicit TestDlg(UINT id = IDD_TEST) : CDialog(id) {}
    int endInInit = 0, visibleAfterInit = -1; // EndDialog(endInInit) inside OnInitDialog unless 0
    CStatic m_gauge;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (endInInit)
            EndDialog(endInInit);
        visibleAfterInit = IsWindowVisible();
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_GAUGE, m_gauge); }
};

int mulDiv(int a, int b, int c) { return (a * b + c / 2) / c; } // rounds as Windows does
}

TEST(DialogLayout, ItemsArePlacedInDialogUnitsOfTheTemplateFont)
{
    TestDlg dlg;
    AfxRunModal(dlg, [&] {
        const QFont font = dlg.GetSafeWidget()->font();
        EXPECT_EQ(QFontInfo(font).pixelSize(), 11) << "8 points at 96 dots an inch";
        const QFontMetrics fm(font);
        const int bx = (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") + 26) / 52;
        const int by = fm.height();
        EXPECT_EQ(dlg.GetSafeWidget()->size(), QSize(mulDiv(200, bx, 4), mulDiv(120, by, 8)));
        const struct { int id, x, y, cx, cy; } rows[] = {{IDC_EDIT, 10, 10, 60, 12}, {IDC_SCALE, 150, 50, 20, 20}};
        for (const auto& r : rows) {
            SCOPED_TRACE(r.id);
            ASSERT_NE(item(dlg, r.id), nullptr);
            CRect rc;
            dlg.GetDlgItem(r.id)->GetWindowRect(&rc);
            EXPECT_EQ(QRect(rc.left, rc.top, rc.Width(), rc.Height()), item(dlg, r.id)->geometry());
            EXPECT_EQ(item(dlg, r.id)->geometry(),
                      QRect(mulDiv(r.x, bx, 4), mulDiv(r.y, by, 8), mulDiv(r.cx, bx, 4), mulDiv(r.cy, by, 8)));
        }
    });
}

TEST(DialogLayout, ItemsHaveTheTemplatesKindsIdsAndTabOrderAndTheWindowItsCaptionAndButtons)
{
    TestDlg dlg, plain(IDD_PLAIN);
    FakeControl::lastLoaded.clear();
    AfxRunModal(dlg, [&] {
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
        for (int id : {IDC_EDIT, IDC_WEIGHT, IDC_CANCEL, IDC_SCALE})
            EXPECT_EQ(dlg.GetDlgItem(id)->GetDlgCtrlID(), id);
        EXPECT_EQ(dlg.GetDlgItem(12345), nullptr);
        std::vector<QWidget*> order; // the widgets Tab visits, from the edit box on
        for (QWidget* w = item(dlg, IDC_EDIT); w && order.size() < 6; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                order.push_back(w);
        EXPECT_EQ(order, (std::vector<QWidget*>{item(dlg, IDC_EDIT), item(dlg, IDC_SEND), item(dlg, IDC_LOOP),
                                                item(dlg, IDC_STOP), item(dlg, IDC_CANCEL), item(dlg, IDC_EDIT)}));
        EXPECT_EQ(dlg.GetSafeWidget()->focusWidget(), item(dlg, IDC_EDIT)) << "the first tab stop has the focus";

        const QWidget* w = dlg.GetSafeWidget();
        EXPECT_EQ(w->windowTitle(), QString("Test console"));
        EXPECT_EQ(w->windowType(), Qt::Window) << "WS_EX_APPWINDOW: a taskbar entry of its own";
        EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(FakeControl::liveCount == 1 && FakeControl::lastLoaded.size() == 20u);
        EXPECT_EQ(dlg.GetDlgItem(IDC_SCALE)->GetControlDispatch(), FakeControl::last);
        EXPECT_EQ(dlg.GetDlgItem(IDC_SEND)->GetControlDispatch(), nullptr);
    });
    EXPECT_EQ(FakeControl::liveCount, 0);
    EXPECT_TRUE(dlg.GetSafeWidget() == nullptr && dlg.m_gauge.GetSafeWidget() == nullptr);
    for (int run = 0; run < 2; ++run)
        AfxRunModal(plain, [&] {
            EXPECT_EQ(plain.GetSafeWidget()->windowType(), Qt::Dialog);
            EXPECT_EQ(plain.GetDlgItem(IDC_GAUGE), &plain.m_gauge) << "attached again on the second run";
        });
}

TEST(DialogLayout, DoModalFailsAtOnceWithoutShowingAnythingAndEndDialogInOnInitDialogShowsNothing)
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
        TestDlg dlg(row.id);
        dlg.endInInit = row.endInInit;
        bool scriptRan = false;
        EXPECT_EQ(AfxRunModal(dlg, [&] { scriptRan = true; }), row.result);
        EXPECT_EQ(scriptRan, row.result == -2);
        EXPECT_EQ(dlg.visibleAfterInit, row.result == -1 ? -1 : FALSE) << "-1: OnInitDialog never ran";
        EXPECT_EQ(FakeControl::liveCount, 0);
    }
    AfxEnableControlContainer();
}
