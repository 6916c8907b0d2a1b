// The console's window as the template lays it out: items, kinds, texts, pixel rectangles from
// dialog units, alignment, tab order, caption, and the weight font as realised.
#include "../console/ConsoleHarness.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include <cmath>

namespace {

enum class Kind { Button, Edit, Static, Check, Group, Control };

struct ItemCase
{
    int id;
    Kind kind;
    const char* text;
    int x, y, cx, cy;
};

// The console's sixteen items, in tab order, as the window must show them.
const ItemCase kItems[] = {
    {IDOK, Kind::Button, "Exit", 119, 165, 50, 14},
    {IDC_DIO_COMMAND, Kind::Edit, "", 65, 118, 22, 14},
    {IDCANCEL, Kind::Button, "Direct IO", 7, 118, 50, 14},
    {IDC_READ_WEIGHT, Kind::Button, "Read Weight", 7, 67, 50, 14},
    {IDC_WEIGHT, Kind::Static, "...", 69, 55, 150, 36},
    {IDC_GAUGE, Kind::Static, "", 226, 55, 45, 36},
    {IDC_LOOP, Kind::Check, "Loop", 7, 91, 46, 16},
    {IDC_OPEN_DEVICE, Kind::Button, "Open", 7, 9, 50, 14},
    {IDC_STATUS, Kind::Static, "", 69, 8, 169, 16},
    {IDC_CLOSE_DEVICE, Kind::Button, "Close", 248, 9, 50, 14},
    {IDC_SCALE, Kind::Control, nullptr, 13, 153, 19, 17},
    {IDC_CAPACITY, Kind::Static, "Max Weight 2 Kg", 71, 29, 161, 21}, // "Static" until start-up
    {IDC_DIO_RESULT, Kind::Static, "", 99, 118, 99, 14},
    {IDC_RESULT_HEX, Kind::Static, "-", 209, 136, 80, 16},
    {IDC_RESULT_NAME, Kind::Static, "-", 209, 159, 80, 16},
};

const char* QtClassOf(Kind kind)
{
    switch (kind) {
    case Kind::Button: return "QPushButton";
    case Kind::Edit: return "QLineEdit";
    case Kind::Static: return "QFrame";
    case Kind::Check: return "QCheckBox";
    case Kind::Group: return "QGroupBox";
    case Kind::Control: return "QWidget";
    }
    return "";
}

int MulDiv(int a, int b, int c) { return int(std::lround(double(a) * b / c)); }

using LayoutTest = ConsoleTest;

TEST_F(LayoutTest, everyItemHasItsKindTextAndRectangleFromDialogUnits)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        QWidget* window = dlg.GetSafeWidget();
        // The template font's base units, measured on the font the window really uses.
        const QFontMetrics fm(window->font());
        const int baseX = int(std::lround(fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0));
        const int baseY = fm.height();
        ASSERT_GT(baseX, 3);
        ASSERT_GT(baseY, 8);
        EXPECT_EQ(window->width(), MulDiv(305, baseX, 4));
        EXPECT_EQ(window->height(), MulDiv(186, baseY, 8));

        for (const ItemCase& item : kItems) {
            CWnd* pItem = dlg.GetDlgItem(item.id);
            ASSERT_NE(pItem, nullptr) << item.id;
            EXPECT_EQ(pItem->GetDlgCtrlID(), item.id);
            QWidget* w = pItem->GetSafeWidget();
            ASSERT_NE(w, nullptr) << item.id;
            EXPECT_TRUE(w->inherits(QtClassOf(item.kind))) << item.id << " is " << w->metaObject()->className();
            if (item.text) {
                CString text;
                pItem->GetWindowText(text);
                EXPECT_EQ(text.str(), item.text) << item.id;
            }
            const QRect expected(MulDiv(item.x, baseX, 4), MulDiv(item.y, baseY, 8), MulDiv(item.cx, baseX, 4),
                                 MulDiv(item.cy, baseY, 8));
            EXPECT_EQ(w->geometry(), expected) << item.id;
        }

        // The sixteenth item, the frame around the result box, has no id of its own.
        int groups = 0;
        for (QWidget* w : window->findChildren<QWidget*>())
            if (w->inherits("QGroupBox")) {
                ++groups;
                EXPECT_EQ(w->geometry(), QRect(MulDiv(203, baseX, 4), MulDiv(127, baseY, 8), MulDiv(95, baseX, 4),
                                               MulDiv(52, baseY, 8)));
            }
        EXPECT_EQ(groups, 1);
    });
}

TEST_F(LayoutTest, textsAreAlignedAsTheirStylesSay)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const struct { int id; Qt::Alignment align; } aligned[] = {
            {IDC_WEIGHT, Qt::AlignHCenter | Qt::AlignVCenter},
            {IDC_STATUS, Qt::AlignLeft | Qt::AlignVCenter},
            {IDC_RESULT_HEX, Qt::AlignHCenter},
            {IDC_RESULT_NAME, Qt::AlignHCenter},
            {IDC_CAPACITY, Qt::AlignLeft},
            {IDC_DIO_RESULT, Qt::AlignLeft},
        };
        for (const auto& a : aligned) {
            auto* label = qobject_cast<QLabel*>(dlg.GetDlgItem(a.id)->GetSafeWidget());
            ASSERT_NE(label, nullptr) << a.id;
            EXPECT_EQ(label->alignment() & a.align, a.align) << a.id;
        }
    });
}

TEST_F(LayoutTest, tabOrderFollowsTheTemplateAndFocusStartsOnExit)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const int order[] = {IDOK, IDC_DIO_COMMAND, IDCANCEL, IDC_READ_WEIGHT, IDC_LOOP, IDC_OPEN_DEVICE,
                             IDC_CLOSE_DEVICE};
        QWidget* first = dlg.GetDlgItem(IDOK)->GetSafeWidget();
        EXPECT_EQ(dlg.GetSafeWidget()->focusWidget(), first);
        std::vector<int> seen;
        QWidget* w = first;
        for (int step = 0; step < 64 && seen.size() < std::size(order); ++step, w = w->nextInFocusChain())
            for (int id : order)
                if (dlg.GetDlgItem(id)->GetSafeWidget() == w && (seen.empty() || seen.back() != id))
                    seen.push_back(id);
        EXPECT_EQ(seen, std::vector<int>(std::begin(order), std::end(order)));
    });
}

TEST_F(LayoutTest, windowHasItsCaptionAndNoMinimiseOrMaximiseBox)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        CString caption;
        dlg.GetWindowText(caption);
        EXPECT_EQ(caption.str(), "Tarabo");
        const Qt::WindowFlags flags = dlg.GetSafeWidget()->windowFlags();
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(dlg.GetIcon(TRUE), dlg.m_hIcon);
        EXPECT_EQ(dlg.GetIcon(FALSE), dlg.m_hIcon);
    });
}

TEST_F(LayoutTest, weightFontIsTheLargeBoldSans)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const QFont font = dlg.GetDlgItem(IDC_WEIGHT)->GetSafeWidget()->font();
        const QFontInfo info(font);
        EXPECT_TRUE(info.bold());
        EXPECT_FALSE(info.italic());
        const QFontMetrics fm(font);
        if (info.family() == "Liberation Sans" || info.family() == "Arial")
            EXPECT_EQ(fm.height(), 74);
        else
            EXPECT_NEAR(fm.height(), 74, 4) << info.family().toStdString();
        EXPECT_NEAR(fm.averageCharWidth(), 26, 2);
    });
}

}
