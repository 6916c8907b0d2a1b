// Dialogs built from templates: placement in dialog units, item kinds and styles, ids, tab order,
// the window itself, and the cases where DoModal must fail without showing anything.
#include "FrameworkFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
class TestDlg : public CDialog
{
public:
    explicit TestDlg(UINT id = IDD_TEST) : CDialog(id) {}
    bool initialised = false;
    CStatic m_gauge;

protected:
    BOOL OnInitDialog() override
    {
        initialised = true;
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_GAUGE, m_gauge); }
};

QWidget* item(CWnd& dlg, int id)
{
    CWnd* w = dlg.GetDlgItem(id);
    return w ? w->GetSafeWidget() : nullptr;
}

// Windows' rounding of a * b / c.
int mulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }
}

using DialogLayout = FrameworkTest;

TEST_F(DialogLayout, ItemsArePlacedInDialogUnitsOfTheTemplateFont)
{
    TestDlg dlg;
    AfxRunModal(dlg, [&] {
        const QFont font = dlg.GetSafeWidget()->font();
        EXPECT_EQ(QFontInfo(font).pixelSize(), 11) << "8 points at 96 dots an inch";
        EXPECT_NE(QFontInfo(font).family(), QString("MS Sans Serif"));
        const QFontMetrics fm(font);
        const int bx = (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") + 26) / 52;
        const int by = fm.height();
        EXPECT_EQ(dlg.GetSafeWidget()->size(), QSize(mulDiv(200, bx, 4), mulDiv(120, by, 8)));
        const struct
        {
            int id, x, y, cx, cy;
        } rows[] = {{IDC_EDIT, 10, 10, 60, 12}, {IDC_SEND, 80, 10, 50, 14},  {IDC_GAUGE, 120, 45, 20, 60},
                    {IDC_STOP, 150, 10, 40, 14}, {IDC_SCALE, 150, 50, 20, 20}};
        for (const auto& r : rows) {
            SCOPED_TRACE(r.id);
            ASSERT_NE(item(dlg, r.id), nullptr);
            EXPECT_EQ(item(dlg, r.id)->geometry(),
                      QRect(mulDiv(r.x, bx, 4), mulDiv(r.y, by, 8), mulDiv(r.cx, bx, 4), mulDiv(r.cy, by, 8)));
            CRect rc;
            dlg.GetDlgItem(r.id)->GetWindowRect(&rc);
            EXPECT_EQ(rc.left, mulDiv(r.x, bx, 4));
        }
    });
}

TEST_F(DialogLayout, ItemsHaveTheKindsStylesAndIdsOfTheTemplate)
{
    TestDlg dlg;
    AfxRunModal(dlg, [&] {
        auto* send = qobject_cast<QPushButton*>(item(dlg, IDC_SEND));
        ASSERT_NE(send, nullptr);
        EXPECT_FALSE(send->autoDefault());
        EXPECT_FALSE(send->isDefault());
        EXPECT_EQ(send->text(), QString("&Send"));
        EXPECT_NE(qobject_cast<QLineEdit*>(item(dlg, IDC_EDIT)), nullptr);
        EXPECT_NE(qobject_cast<QCheckBox*>(item(dlg, IDC_LOOP)), nullptr);
        auto* group = qobject_cast<QGroupBox*>(item(dlg, IDC_GROUP));
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->title(), QString("Scale"));

        auto* weight = qobject_cast<QLabel*>(item(dlg, IDC_WEIGHT));
        ASSERT_NE(weight, nullptr);
        EXPECT_EQ(weight->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
        EXPECT_EQ(weight->frameShadow(), QFrame::Sunken);
        auto* status = qobject_cast<QLabel*>(item(dlg, IDC_STATUS));
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(status->alignment(), Qt::AlignLeft | Qt::AlignTop);
        EXPECT_EQ(status->frameShadow(), QFrame::Sunken) << "WS_EX_STATICEDGE";
        EXPECT_EQ(status->text(), QString("A & B")) << "'&&' shows one ampersand";
        CString raw;
        dlg.GetDlgItemText(IDC_STATUS, raw);
        EXPECT_EQ(raw, "A && B") << "the text reads back as it was set";
        auto* gauge = qobject_cast<QFrame*>(item(dlg, IDC_GAUGE));
        ASSERT_NE(gauge, nullptr);
        EXPECT_EQ(gauge->frameShape(), QFrame::Box) << "WS_BORDER";

        for (int id : {IDC_EDIT, IDC_SEND, IDC_LOOP, IDC_WEIGHT, IDC_GAUGE, IDC_STATUS, IDC_GROUP, IDC_STOP, IDC_CANCEL,
                       IDC_SCALE})
            EXPECT_EQ(dlg.GetDlgItem(id)->GetDlgCtrlID(), id);
        EXPECT_EQ(dlg.GetDlgItem(12345), nullptr);
        EXPECT_NE(dlg.GetDlgItem(IDC_SCALE)->GetControlDispatch(), nullptr);
        EXPECT_EQ(dlg.GetDlgItem(IDC_SEND)->GetControlDispatch(), nullptr);
    });
}

TEST_F(DialogLayout, TabOrderFollowsTheTemplateOverFocusableItems)
{
    TestDlg dlg;
    AfxRunModal(dlg, [&] {
        // The focusable items in the order Tab visits them, starting from the edit box.
        std::vector<int> order;
        QWidget* w = item(dlg, IDC_EDIT);
        do {
            for (int id : {IDC_EDIT, IDC_SEND, IDC_LOOP, IDC_STOP, IDC_CANCEL, IDC_WEIGHT, IDC_GROUP, IDC_SCALE})
                if (item(dlg, id) == w && (w->focusPolicy() & Qt::TabFocus))
                    order.push_back(id);
            w = w->nextInFocusChain();
        } while (w && w != item(dlg, IDC_EDIT) && order.size() < 20);
        EXPECT_EQ(order, (std::vector<int>{IDC_EDIT, IDC_SEND, IDC_LOOP, IDC_STOP, IDC_CANCEL}));
        EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget() : dlg.GetSafeWidget()->focusWidget(),
                  item(dlg, IDC_EDIT))
            << "the first tab stop starts with the focus";
    });
}

TEST_F(DialogLayout, WindowTakesCaptionAndCaptionButtonsFromTheTemplate)
{
    TestDlg app(IDD_TEST), plain(IDD_PLAIN);
    AfxRunModal(app, [&] {
        const QWidget* w = app.GetSafeWidget();
        EXPECT_EQ(w->windowTitle(), QString("Test console"));
        EXPECT_EQ(w->windowType(), Qt::Window) << "WS_EX_APPWINDOW: a taskbar entry of its own";
        EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(app.IsWindowVisible());
        EXPECT_FALSE(app.IsIconic());
    });
    AfxRunModal(plain, [&] { EXPECT_EQ(plain.GetSafeWidget()->windowType(), Qt::Dialog); });
}

TEST_F(DialogLayout, HostedControlIsLoadedWithTemplateDataAndLivesWithTheWindow)
{
    TestDlg dlg;
    FakeControl::lastLoaded.clear();
    AfxRunModal(dlg, [&] {
        EXPECT_EQ(FakeControl::liveCount, 1);
        std::vector<BYTE> expected(20);
        for (int i = 0; i < 20; ++i)
            expected[std::size_t(i)] = BYTE(i + 1);
        EXPECT_EQ(FakeControl::lastLoaded, expected);
        EXPECT_EQ(dlg.GetDlgItem(IDC_SCALE)->GetControlDispatch(), FakeControl::last);
    });
    EXPECT_EQ(FakeControl::liveCount, 0);
}

TEST_F(DialogLayout, DoModalFailsAtOnceWithoutShowingAnything)
{
    const struct
    {
        const char* why;
        UINT id;
        bool containerEnabled;
    } rows[] = {
        {"missing template", IDD_MISSING, true},
        {"control class not registered", IDD_UNKNOWN_CTL, true},
        {"control hosting not enabled", IDD_TEST, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        row.containerEnabled ? AfxEnableControlContainer() : AfxDisableControlContainer();
        TestDlg dlg(row.id);
        bool scriptRan = false;
        EXPECT_EQ(AfxRunModal(dlg, [&] { scriptRan = true; }), -1);
        EXPECT_FALSE(scriptRan);
        EXPECT_FALSE(dlg.initialised);
        EXPECT_EQ(FakeControl::liveCount, 0);
        EXPECT_EQ(AfxVisibleTopLevelCount(), 0);
    }
    // Without hosting a template without controls still runs.
    TestDlg plain(IDD_PLAIN);
    EXPECT_EQ(AfxRunModal(plain, [] {}), -2);
    AfxEnableControlContainer();
}

TEST_F(DialogLayout, DoModalDestroysTheWindowDetachesObjectsAndCanRunAgain)
{
    TestDlg dlg(IDD_PLAIN);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        QWidget* gaugeWidget = nullptr;
        EXPECT_EQ(AfxRunModal(dlg, [&] {
                      gaugeWidget = dlg.m_gauge.GetSafeWidget();
                      EXPECT_EQ(dlg.GetDlgItem(IDC_GAUGE), &dlg.m_gauge);
                      EXPECT_EQ(dlg.m_gauge.GetDlgCtrlID(), IDC_GAUGE);
                  }),
                  -2);
        EXPECT_NE(gaugeWidget, nullptr);
        EXPECT_EQ(dlg.GetSafeWidget(), nullptr);
        EXPECT_EQ(dlg.m_gauge.GetSafeWidget(), nullptr);
        EXPECT_EQ(dlg.GetDlgItem(IDC_GAUGE), nullptr);
        EXPECT_EQ(AfxVisibleTopLevelCount(), 0);
    }
}

TEST_F(DialogLayout, EndDialogDuringOnInitDialogEndsWithoutShowing)
{
    class EndsEarly : public CDialog
    {
    public:
        EndsEarly() : CDialog(IDD_PLAIN) {}
        int visibleDuringInit = -1;

    protected:
        BOOL OnInitDialog() override
        {
            CDialog::OnInitDialog();
            EndDialog(7);
            visibleDuringInit = IsWindowVisible();
            return TRUE;
        }
    } dlg;
    bool scriptRan = false;
    EXPECT_EQ(AfxRunModal(dlg, [&] { scriptRan = true; }), 7);
    EXPECT_FALSE(scriptRan);
    EXPECT_EQ(dlg.visibleDuringInit, FALSE);
}
