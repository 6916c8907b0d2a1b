// Hosting through real COM, as a control registered by its vendor is hosted: what a control that
// is not one of the framework's own sees of the container, and what the container makes of it.
#include "framework/AfxTesting.h"
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr UINT IDD_RAW = 950, IDD_FAILING = 951;
constexpr int IDC_CONTROL = 100;
constexpr char kRawClsid[] = "{0A1B2C3D-0000-4000-8000-0000000000AA}";
constexpr char kFailingClsid[] = "{0A1B2C3D-0000-4000-8000-0000000000BB}";
const BYTE kState[4] = {1, 2, 3, 4};

const AFX_DLGITEMTEMPLATE kRawItems[] = {{IDC_CONTROL, kRawClsid, "", 10, 10, 20, 20, WS_CHILD | WS_VISIBLE, 0, kState}};
const AFX_DLGITEMTEMPLATE kFailingItems[] = {{IDC_CONTROL, kFailingClsid, "", 10, 10, 20, 20, WS_CHILD | WS_VISIBLE}};
constexpr DWORD kStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
const AFX_DLGTEMPLATE kDialogs[] = {
    {IDD_RAW, kStyle, 0, 0, 0, 100, 50, "Raw", "MS Sans Serif", 8, kRawItems},
    {IDD_FAILING, kStyle, 0, 0, 0, 100, 50, "Failing", "MS Sans Serif", 8, kFailingItems},
};
const AFX_RESOURCES kResources = {kDialogs, {}, {}, nullptr};

// A control of the plainest kind: IDispatch and nothing else (no persistence, no OLE object). It
// records the DISPPARAMS of each call as they arrive, doubles a by-reference long, replaces a
// by-reference string (freeing the caller's) and raises an exception for dispid 9.
struct RawControl : IDispatch
{
    ULONG refs = 1;
    static inline std::vector<std::string> calls;
    static inline ULONG liveCount = 0;
    RawControl() { ++liveCount; }
    virtual ~RawControl() { --liveCount; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IDispatch)
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --refs;
        if (!left)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO* info, UINT*) override
    {
        std::string call = std::to_string(id) + (flags == DISPATCH_PROPERTYPUT ? " put" : " call");
        for (UINT i = 0; i < p->cArgs; ++i)
            call.append(" ").append(std::to_string(p->rgvarg[i].vt));
        for (UINT i = 0; i < p->cNamedArgs; ++i)
            call.append(" named ").append(std::to_string(p->rgdispidNamedArgs[i]));
        calls.push_back(call);
        if (id == 9) {
            info->bstrSource = SysAllocString(L"Raw");
            info->bstrDescription = SysAllocString(L"Paper out.");
            info->scode = E_FAIL;
            return DISP_E_EXCEPTION;
        }
        for (UINT i = 0; i < p->cArgs; ++i) {
            VARIANT& v = p->rgvarg[i];
            if (v.vt == (VT_I4 | VT_BYREF))
                *v.plVal *= 2;
            if (v.vt == (VT_BSTR | VT_BYREF)) {
                SysFreeString(*v.pbstrVal);
                *v.pbstrVal = SysAllocString(L"from the control");
            }
        }
        if (result) {
            result->vt = VT_I4;
            result->lVal = LONG(p->cArgs);
        }
        return S_OK;
    }
};

struct RawFactory : IClassFactory
{
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override
    {
        auto* control = new RawControl;
        const HRESULT hr = control->QueryInterface(riid, ppv);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
} g_rawFactory;

struct Hosting : testing::Test
{
    DWORD cookie = 0;
    void SetUp() override
    {
        AfxSetResourceTable(&kResources);
        AfxEnableControlContainer();
        CLSID clsid;
        CLSIDFromString(L"{0A1B2C3D-0000-4000-8000-0000000000AA}", &clsid);
        ASSERT_EQ(CoRegisterClassObject(clsid, &g_rawFactory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
        RawControl::calls.clear();
    }
    void TearDown() override { CoRevokeClassObject(cookie); }
};

struct RawDlg : CDialog
{
    RawDlg() : CDialog(IDD_RAW) {}
    CWnd m_control;
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_CONTROL, m_control); }
};
}

TEST_F(Hosting, aControlWithoutPersistenceIsHostedAndGetsItsArgumentsInReverseOrder)
{
    const long liveStrings = AfxLiveBstrCount();
    RawDlg dlg;
    LONG result = 0, number = 21;
    BSTR text = SysAllocString(L"from the caller"); // the control frees it and puts its own
    EXPECT_EQ(AfxLiveBstrCount(), liveStrings + 1) << "the platform's strings are counted";
    const INT_PTR end = AfxRunModal(dlg, [&] {
        dlg.m_control.InvokeHelper(5, DISPATCH_METHOD, VT_I4, &result, VTS_I4 VTS_PI4 VTS_PBSTR, LONG(7), &number, &text);
        dlg.m_control.SetProperty(6, VT_BOOL, TRUE);
    });
    EXPECT_EQ(end, -2) << "the dialog ran";
    EXPECT_EQ(result, 3);
    EXPECT_EQ(number, 42) << "a by-reference long comes back";
    EXPECT_EQ(AfxTextFromBstr(text), "from the control");
    SysFreeString(text);
    EXPECT_EQ(AfxLiveBstrCount(), liveStrings) << "every string of the call freed once";
    const std::string last = std::to_string(VT_BSTR | VT_BYREF) + " " + std::to_string(VT_I4 | VT_BYREF) + " 3";
    EXPECT_EQ(RawControl::calls, (std::vector<std::string>{"5 call " + last, "6 put 11 named -3"}));
    EXPECT_EQ(RawControl::liveCount, 0u) << "released with the window";
}

TEST_F(Hosting, anExceptionTheControlRaisesReachesTheCallerWithItsTexts)
{
    RawDlg dlg;
    std::string raised;
    AfxRunModal(dlg, [&] {
        try {
            dlg.m_control.InvokeHelper(9, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
        } catch (const COleDispatchException& e) {
            raised = e.GetErrorMessage().str();
        }
    });
    EXPECT_EQ(raised, "Raw: Paper out.");
}

TEST_F(Hosting, aControlWhoseCreationFailsOrIsUnknownKeepsTheDialogFromShowing)
{
    AfxRegisterControlClass(kFailingClsid, [] { return std::unique_ptr<CHostedControl>(); });
    for (UINT id : {IDD_FAILING}) {
        CDialog dlg(id);
        bool shown = false;
        EXPECT_EQ(AfxRunModal(dlg, [&] { shown = true; }), -1);
        EXPECT_FALSE(shown);
    }
    AfxUnregisterControlClass(kFailingClsid);
    CDialog unknown(IDD_FAILING);
    EXPECT_EQ(unknown.DoModal(), -1) << "no class object at all";
    EXPECT_EQ(AfxVisibleTopLevelCount(), 0);
}
