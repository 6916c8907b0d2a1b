// Calls from a program object, through the hosted control item it is attached to, into the control.
#include "FrameworkFixture.h"

namespace {
class ScaleWrapper : public CWnd
{
public:
    LONG Echo(LPCTSTR in, BSTR* out)
    {
        LONG length = 0;
        InvokeHelper(1, DISPATCH_METHOD, VT_I4, &length, VTS_BSTR VTS_PBSTR, in, out);
        return length;
    }
    LONG GetValue() const
    {
        LONG v = 0;
        GetProperty(2, VT_I4, &v);
        return v;
    }
    void SetValue(LONG v) { SetProperty(2, VT_I4, v); }
    BOOL GetEnabled() const
    {
        LONG b = 0;
        GetProperty(3, VT_BOOL, &b);
        return b;
    }
    void SetEnabled(BOOL b) { SetProperty(3, VT_BOOL, LONG(b)); }
    void Fail() { InvokeHelper(4, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE); }
    void Unknown() { InvokeHelper(5, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE); }
    CString Name()
    {
        CString s;
        InvokeHelper(6, DISPATCH_METHOD, VT_BSTR, &s, VTS_NONE);
        return s;
    }
};

class ScaleDlg : public CDialog
{
public:
    ScaleDlg() : CDialog(IDD_TEST) {}
    ScaleWrapper m_scale;
    void OnSend() { m_scale.Fail(); }
    DECLARE_MESSAGE_MAP()

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_SCALE, m_scale); }
};

BEGIN_MESSAGE_MAP(ScaleDlg, CDialog)
    ON_BN_CLICKED(IDC_SEND, OnSend)
END_MESSAGE_MAP()
}

using AutomationCalls = FrameworkTest;

TEST_F(AutomationCalls, StringsGoInAndComeBackByReferenceWithoutLeaking)
{
    const long start = AfxLiveBstrCount();
    ScaleDlg dlg;
    AfxRunModal(dlg, [&] {
        BSTR out = SysAllocString(u"old"); // replaced, and freed, by the control
        EXPECT_EQ(dlg.m_scale.Echo("abc", &out), 4);
        EXPECT_EQ(AfxTextFromBstr(out), "abc!");
        SysFreeString(out);

        out = nullptr;
        EXPECT_EQ(dlg.m_scale.Echo(nullptr, &out), 1) << "a null string is an empty one";
        EXPECT_EQ(AfxTextFromBstr(out), "!");
        SysFreeString(out);

        EXPECT_EQ(dlg.m_scale.Name(), AfxTextFromWide(u"caf\u00e9", 4));
    });
    EXPECT_EQ(AfxLiveBstrCount(), start);
}

TEST_F(AutomationCalls, PropertiesRoundTripAndTrueGoesOutAsVariantTrue)
{
    ScaleDlg dlg;
    AfxRunModal(dlg, [&] {
        dlg.m_scale.SetValue(-1234);
        EXPECT_EQ(dlg.m_scale.GetValue(), -1234);
        dlg.m_scale.SetEnabled(TRUE);
        ASSERT_NE(FakeControl::last, nullptr);
        EXPECT_EQ(FakeControl::last->lastPutType, VT_BOOL);
        EXPECT_EQ(FakeControl::last->enabled, VARIANT_TRUE);
        EXPECT_EQ(dlg.m_scale.GetEnabled(), TRUE);
        dlg.m_scale.SetEnabled(FALSE);
        EXPECT_EQ(FakeControl::last->enabled, VARIANT_FALSE);
        EXPECT_EQ(dlg.m_scale.GetEnabled(), FALSE);
    });
}

TEST_F(AutomationCalls, ControlExceptionsAndCallFailuresBecomeTheirExceptionClasses)
{
    ScaleDlg dlg;
    AfxRunModal(dlg, [&] {
        try {
            dlg.m_scale.Fail();
            ADD_FAILURE() << "no exception";
        } catch (const COleDispatchException& e) {
            EXPECT_EQ(e.m_strDescription, "The scale is offline.");
            EXPECT_EQ(e.m_strSource, "FakeControl");
            EXPECT_EQ(e.m_scError, E_FAIL);
        }
        try {
            dlg.m_scale.Unknown();
            ADD_FAILURE() << "no exception";
        } catch (const COleException& e) {
            EXPECT_EQ(e.m_sc, DISP_E_MEMBERNOTFOUND);
        }
    });
    // Detached after DoModal: there is no control to call.
    try {
        dlg.m_scale.GetValue();
        ADD_FAILURE() << "no exception";
    } catch (const COleException& e) {
        EXPECT_EQ(e.m_sc, E_UNEXPECTED);
    }
}

TEST_F(AutomationCalls, AFailedCallInAHandlerIsReportedWithTheControlsDescription)
{
    ScaleDlg dlg;
    AfxRunModal(dlg, [&] {
        AfxClickItem(dlg, IDC_SEND);
        EXPECT_EQ(AfxOpenReportCount(), 1);
        AfxDismissReports();
    });
    EXPECT_EQ(AfxLastReportText(), "FakeControl: The scale is offline.");
}
