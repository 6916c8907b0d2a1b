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
    void Call(DISPID id) { InvokeHelper(id, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE); }
};

class ScaleDlg : public CDialog
{
public:
    ScaleDlg() : CDialog(IDD_TEST) {}
    ScaleWrapper m_scale;
    void OnSend() { m_scale.Call(4); }
    DECLARE_MESSAGE_MAP()

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_SCALE, m_scale); }
};

BEGIN_MESSAGE_MAP(ScaleDlg, CDialog)
    ON_BN_CLICKED(IDC_SEND, OnSend)
END_MESSAGE_MAP()
}

using AutomationCalls = FrameworkTest;

TEST_F(AutomationCalls, StringsGoInAndComeBackByReferenceWithoutLeakingAndTrueGoesOutAsVariantTrue)
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
        CString name;
        dlg.m_scale.InvokeHelper(6, DISPATCH_METHOD, VT_BSTR, &name, VTS_NONE);
        EXPECT_EQ(name, AfxTextFromWide(u"caf\u00e9", 4));

        ASSERT_NE(FakeControl::last, nullptr);
        const VARIANT& put = FakeControl::last->property;
        for (LONG b : {TRUE, FALSE}) {
            dlg.m_scale.SetProperty(2, VT_BOOL, b);
            EXPECT_TRUE(put.vt == VT_BOOL && put.boolVal == (b ? VARIANT_TRUE : VARIANT_FALSE));
            LONG value = -1;
            dlg.m_scale.GetProperty(2, VT_BOOL, &value);
            EXPECT_EQ(value, b);
        }
        dlg.m_scale.SetProperty(2, VT_I4, LONG(-1234));
        LONG value = 0;
        dlg.m_scale.GetProperty(2, VT_I4, &value);
        EXPECT_EQ(value, -1234);
    });
    EXPECT_EQ(AfxLiveBstrCount(), start);
}

TEST_F(AutomationCalls, ControlExceptionsAndCallFailuresBecomeTheirExceptionClasses)
{
    ScaleDlg dlg;
    const auto failureOf = [&](DISPID id) {
        try {
            dlg.m_scale.Call(id);
        } catch (const COleDispatchException& e) {
            return e.m_strSource.str() + ": " + e.m_strDescription.str() + " " + std::to_string(e.m_scError);
        } catch (const COleException& e) {
            return "COleException " + std::to_string(e.m_sc);
        }
        return std::string("no exception");
    };
    AfxRunModal(dlg, [&] {
        EXPECT_EQ(failureOf(4), "FakeControl: The scale is offline. " + std::to_string(E_FAIL));
        EXPECT_EQ(failureOf(5), "COleException " + std::to_string(DISP_E_MEMBERNOTFOUND));
        AfxClickItem(dlg, IDC_SEND);
        EXPECT_EQ(AfxOpenReportCount(), 1) << "a failed call in a handler is reported";
        AfxDismissReports();
    });
    EXPECT_EQ(AfxLastReportText(), "FakeControl: The scale is offline.");
    EXPECT_EQ(failureOf(2), "COleException " + std::to_string(E_UNEXPECTED))
        << "detached: no control to call";
}
