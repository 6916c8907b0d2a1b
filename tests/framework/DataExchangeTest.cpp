// Data exchange and the item operations the program reads its input with.
#include "FrameworkFixture.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
class ExchangeDlg : public CDialog
{
public:
    ExchangeDlg() : CDialog(IDD_PLAIN) {}
    int m_bLoop = 1;
    CStatic m_gauge;
    int exchanges = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        ++exchanges;
        DDX_Control(pDX, IDC_GAUGE, m_gauge);
        DDX_Check(pDX, IDC_LOOP, m_bLoop);
    }
};

bool isChecked(CWnd& dlg) { return qobject_cast<QCheckBox*>(dlg.GetDlgItem(IDC_LOOP)->GetSafeWidget())->isChecked(); }
}

using DataExchange = FrameworkTest;

TEST_F(DataExchange, CheckBoxMovesOnlyWithUpdateDataAndTheControlStaysAttachedToItsItem)
{
    ExchangeDlg dlg;
    AfxRunModal(dlg, [&] {
        EXPECT_TRUE(isChecked(dlg)) << "OnInitDialog exchanges into the window";
        QWidget* gauge = dlg.m_gauge.GetSafeWidget();
        ASSERT_NE(gauge, nullptr);
        AfxClickItem(dlg, IDC_LOOP);
        EXPECT_EQ(dlg.m_bLoop, 1) << "nothing moves before UpdateData";
        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.m_bLoop, 0);
        dlg.m_bLoop = 1;
        dlg.UpdateData(FALSE);
        EXPECT_TRUE(isChecked(dlg));
        EXPECT_EQ(dlg.exchanges, 3);
        EXPECT_EQ(dlg.m_gauge.GetSafeWidget(), gauge);
        EXPECT_EQ(dlg.GetDlgItem(IDC_GAUGE), &dlg.m_gauge);
        CRect rc;
        dlg.m_gauge.GetClientRect(&rc);
        EXPECT_EQ(QRect(rc.left, rc.top, rc.Width(), rc.Height()), QRect(QPoint(0, 0), gauge->size()));
    });
}

TEST_F(DataExchange, OkSavesTheItemsIntoTheMembersAndCancelDoesNot)
{
    for (int button : {IDOK, IDCANCEL}) {
        ExchangeDlg dlg;
        EXPECT_EQ(AfxRunModal(dlg, [&] {
                      AfxClickItem(dlg, IDC_LOOP);
                      AfxClickItem(dlg, button);
                  }),
                  button);
        EXPECT_EQ(dlg.m_bLoop, button == IDOK ? 0 : 1);
    }
}

TEST_F(DataExchange, ItemTextRoundTripsThroughEveryKindOfItem)
{
    CDialog dlg(IDD_TEST);
    AfxRunModal(dlg, [&] {
        for (int id : {IDC_EDIT, IDC_SEND, IDC_LOOP, IDC_WEIGHT, IDC_GROUP, IDC_STATUS}) {
            SCOPED_TRACE(id);
            dlg.SetDlgItemText(id, "12.5 && kg");
            CString text;
            EXPECT_EQ(dlg.GetDlgItemText(id, text), 10);
            EXPECT_EQ(text, "12.5 && kg");
        }
        EXPECT_EQ(qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_EDIT)->GetSafeWidget())->text(), QString("12.5 && kg"));
        CString none = "unchanged";
        EXPECT_EQ(dlg.GetDlgItemText(4711, none), 0);
        EXPECT_TRUE(none.IsEmpty());
    });
}

TEST_F(DataExchange, GetDlgItemIntAcceptsOnlyAWholeNumberInRange)
{
    const struct { const char* text; BOOL bSigned; UINT value; BOOL translated; } rows[] = {
        {"", TRUE, 0, FALSE},          {"abc", TRUE, 0, FALSE},         {"12abc", TRUE, 0, FALSE},
        {"12 ", TRUE, 0, FALSE},       {" 4", TRUE, 4, TRUE},           {"\t-4", TRUE, UINT(-4), TRUE},
        {"+4", TRUE, 4, TRUE},         {"+4", FALSE, 4, TRUE},          {"-4", FALSE, 0, FALSE},
        {"-", TRUE, 0, FALSE},         {"- 4", TRUE, 0, FALSE},         {"2147483647", TRUE, 2147483647u, TRUE},
        {"2147483648", TRUE, 0, FALSE}, {"2147483648", FALSE, 2147483648u, TRUE},
        {"-2147483648", TRUE, 0x80000000u, TRUE}, {"-2147483649", TRUE, 0, FALSE},
        {"99999999999", TRUE, 0, FALSE}, {"99999999999", FALSE, 0, FALSE},
        {"4294967295", FALSE, 4294967295u, TRUE}, {"4294967296", FALSE, 0, FALSE},
    };
    CDialog dlg(IDD_PLAIN);
    AfxRunModal(dlg, [&] {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << '"' << row.text << "\" signed " << row.bSigned);
            dlg.SetDlgItemText(IDC_EDIT, row.text);
            BOOL translated = -1;
            EXPECT_EQ(dlg.GetDlgItemInt(IDC_EDIT, &translated, row.bSigned), row.value);
            EXPECT_EQ(translated, row.translated);
        }
        BOOL translated = TRUE;
        EXPECT_EQ(dlg.GetDlgItemInt(4711, &translated), 0u);
        EXPECT_FALSE(translated);
        dlg.SetDlgItemText(IDC_EDIT, "17");
        EXPECT_EQ(dlg.GetDlgItemInt(IDC_EDIT), 17u) << "lpTrans may be null";
    });
}
