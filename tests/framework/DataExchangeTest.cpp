// Data exchange and the item operations the program reads its input with.
#include "tests/framework/FrameworkFixture.h"

namespace {
struct ExchangeDlg : CDialog
{
    ExchangeDlg() : CDialog(IDD_PLAIN) {}
    int m_bLoop = 1;
    void DoDataExchange(CDataExchange* pDX) override { DDX_Check(pDX, IDC_LOOP, m_bLoop); }
};
}

// A click toggles the box; what UpdateData(TRUE) reads afterwards shows what the box held before.
TEST(DataExchange, CheckBoxMovesOnlyWithUpdateDataAndOkSavesItButCancelDoesNot)
{
    ExchangeDlg dlg;
    AfxRunModal(dlg, [&] {
        AfxClickItem(dlg, IDC_LOOP);
        EXPECT_EQ(dlg.m_bLoop, 1) << "nothing moves before UpdateData";
        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.m_bLoop, 0) << "OnInitDialog checked the box";
        dlg.m_bLoop = 1;
        dlg.UpdateData(FALSE);
        AfxClickItem(dlg, IDC_LOOP);
        dlg.UpdateData(TRUE);
        EXPECT_EQ(dlg.m_bLoop, 0) << "UpdateData(FALSE) checked the box";
    });
    for (int button : {IDOK, IDCANCEL}) {
        ExchangeDlg run;
        EXPECT_EQ(AfxRunModal(run, [&] { AfxClickItem(run, IDC_LOOP), AfxClickItem(run, button); }), button);
        EXPECT_EQ(run.m_bLoop, button == IDOK ? 0 : 1);
    }
}

TEST(DataExchange, ItemTextRoundTripsThroughEachKindAndGetDlgItemIntAcceptsOnlyAWholeNumberInRange)
{
    const struct { const char* text; BOOL bSigned; UINT value; BOOL translated; } rows[] = {
        {"", TRUE, 0, FALSE},          {"12abc", TRUE, 0, FALSE},       {"12 ", TRUE, 0, FALSE},
        {"\t-4", TRUE, UINT(-4), TRUE}, {"+4", FALSE, 4, TRUE},          {"-4", FALSE, 0, FALSE},
        {"- 4", TRUE, 0, FALSE},       {"2147483647", TRUE, 2147483647u, TRUE}, {"2147483648", TRUE, 0, FALSE},
        {"-2147483648", TRUE, 0x80000000u, TRUE}, {"-2147483649", TRUE, 0, FALSE},
        {"4294967295", FALSE, 4294967295u, TRUE}, {"4294967296", FALSE, 0, FALSE},
    };
    CDialog dlg(IDD_TEST);
    AfxRunModal(dlg, [&] {
        for (int id : {IDC_STATUS, IDC_SEND, IDC_EDIT, IDC_GROUP}) { // a label, a button, an edit box, a group box
            dlg.SetDlgItemText(id, "12.5 && kg");
            CString text;
            EXPECT_EQ(dlg.GetDlgItemText(id, text), 10) << id;
            EXPECT_EQ(text, "12.5 && kg") << id;
        }
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
