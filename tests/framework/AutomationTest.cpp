// Calls from a program object, through the hosted control item it is attached to, into the control.
#include "tests/framework/FrameworkFixture.h"

#include <utility>

namespace {
struct ScaleDlg : CDialog
{
    ScaleDlg() : CDialog(IDD_TEST) {}
    CWnd m_scale;
    void OnSend() { m_scale.InvokeHelper(4, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE); }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_SCALE, m_scale); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScaleDlg, CDialog)
    ON_BN_CLICKED(IDC_SEND, OnSend)
END_MESSAGE_MAP()

// What calling the member raised: the exception class and what it carries.
std::string failureOf(CWnd& wrapper, DISPID id)
{
    try {
        wrapper.InvokeHelper(id, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
    } catch (const COleDispatchException& e) {
        return e.m_strSource.str() + ": " + e.m_strDescription.str() + " " + std::to_string(e.m_scError);
    } catch (const COleException& e) {
        return "COleException " + std::to_string(e.m_sc);
    }
    return "no exception";
}
}

TEST(AutomationCalls, StringsByReferenceDoNotLeakTrueGoesOutAsVariantTrueAndFailuresBecomeTheirExceptionClasses)
{
    const long start = AfxLiveBstrCount();
    ScaleDlg dlg;
    AfxRunModal(dlg, [&] {
        LONG length = 0;
        BSTR out = SysAllocString(OLESTR("old")); // replaced, and freed, by the control
        dlg.m_scale.InvokeHelper(1, DISPATCH_METHOD, VT_I4, &length, VTS_BSTR VTS_PBSTR, "abc", &out);
        EXPECT_TRUE(length == 4 && AfxTextFromBstr(out) == "abc!");
        SysFreeString(std::exchange(out, nullptr));
        dlg.m_scale.InvokeHelper(1, DISPATCH_METHOD, VT_I4, &length, VTS_BSTR VTS_PBSTR, LPCTSTR(nullptr), &out);
        EXPECT_TRUE(length == 1 && AfxTextFromBstr(out) == "!") << "a null string is an empty one";
        SysFreeString(out);
        CString name;
        dlg.m_scale.InvokeHelper(6, DISPATCH_METHOD, VT_BSTR, &name, VTS_NONE);
        EXPECT_EQ(name, AfxTextFromWide(OLESTR("caf\u00e9"), 4));
        const std::u16string odd = std::u16string(5000, u'w') + u"\U0001F600\xD800" u"end"; // emoji, lone surrogate
        const BSTR oddBstr = AfxAllocBstrFromWide(odd);
        const std::string text = AfxTextFromBstr(oddBstr).str();
        SysFreeString(oddBstr);
        EXPECT_TRUE(text.size() > 5003 && text.ends_with("end") && text.find('\0') == std::string::npos);

        ASSERT_NE(FakeControl::last, nullptr);
        EXPECT_EQ(FakeControl::lastLoaded.size(), 20u) << "the item's persisted state";
        EXPECT_EQ(dlg.GetDlgItem(IDC_SEND)->GetControlDispatch(), nullptr);
        const VARIANT& put = FakeControl::last->property;
        dlg.m_scale.SetProperty(2, VT_BOOL, LONG(TRUE));
        EXPECT_TRUE(put.vt == VT_BOOL && put.boolVal == VARIANT_TRUE);
        LONG value = -1;
        dlg.m_scale.GetProperty(2, VT_BOOL, &value);
        EXPECT_EQ(value, TRUE) << "VARIANT_TRUE comes back as TRUE";
        dlg.m_scale.SetProperty(2, VT_I4, LONG(-1234));
        dlg.m_scale.GetProperty(2, VT_I4, &value);
        EXPECT_EQ(value, -1234);

        EXPECT_EQ(failureOf(dlg.m_scale, 4), "FakeControl: The scale is offline. " + std::to_string(E_FAIL));
        EXPECT_EQ(failureOf(dlg.m_scale, 5), "COleException " + std::to_string(DISP_E_MEMBERNOTFOUND));
        AfxClickItem(dlg, IDC_SEND);
        EXPECT_EQ(AfxOpenReportCount(), 1) << "a failed call in a handler is reported";
        AfxDismissReports();
    });
    EXPECT_EQ(AfxLiveBstrCount(), start);
    EXPECT_EQ(FakeControl::liveCount, 0) << "the control goes with the window";
    EXPECT_EQ(AfxLastReportText(), "FakeControl: The scale is offline.");
    EXPECT_EQ(failureOf(dlg.m_scale, 2), "COleException " + std::to_string(E_UNEXPECTED)) << "detached: no control";
}
