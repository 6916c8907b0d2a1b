#include "FrameworkFixture.h"

namespace {
const BYTE kInitData[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

const DLGITEMTEMPLATE kTestItems[] = {
    {IDC_EDIT, "EDIT", "", 10, 10, 60, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
    {IDC_SEND, "BUTTON", "&Send", 80, 10, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_LOOP, "BUTTON", "&Loop", 10, 30, 60, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
    {IDC_WEIGHT, "STATIC", "0.000", 10, 45, 100, 20, WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN},
    {IDC_GAUGE, "STATIC", "", 120, 45, 20, 60, WS_CHILD | WS_VISIBLE | SS_BLACKRECT | WS_BORDER},
    {IDC_STATUS, "STATIC", "A && B", 10, 70, 100, 10, WS_CHILD | WS_VISIBLE | SS_LEFT, WS_EX_STATICEDGE},
    {IDC_GROUP, "BUTTON", "Scale", 5, 85, 110, 30, WS_CHILD | WS_VISIBLE | BS_GROUPBOX},
    {IDC_STOP, "BUTTON", "S&top", 150, 10, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_CANCEL, "BUTTON", "&Direct", 150, 30, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_SCALE, kFakeClsid, "", 150, 50, 20, 20, WS_CHILD | WS_VISIBLE, 0, kInitData},
};

const DLGITEMTEMPLATE kPlainItems[] = {
    {IDC_EDIT, "EDIT", "", 10, 10, 60, 12, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER},
    {IDC_LOOP, "BUTTON", "&Loop", 10, 30, 60, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
    {IDOK, "BUTTON", "OK", 80, 10, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDC_CANCEL, "BUTTON", "Cancel", 80, 30, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_GAUGE, "STATIC", "", 10, 45, 40, 30, WS_CHILD | WS_VISIBLE | SS_BLACKRECT},
};

const DLGITEMTEMPLATE kUnknownItems[] = {
    {IDC_SCALE, "{99999999-0000-0000-0000-000000000000}", "", 10, 10, 20, 20, WS_CHILD | WS_VISIBLE},
};

const DLGITEMTEMPLATE kAboutItems[] = {
    {-1, "STATIC", "128", 10, 10, 20, 20, WS_CHILD | WS_VISIBLE | SS_ICON},
    {IDOK, "BUTTON", "OK", 60, 10, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
};

constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;

const DLGTEMPLATE kDialogs[] = {
    {IDD_TEST, kDialogStyle, WS_EX_APPWINDOW, 0, 0, 200, 120, "Test console", "MS Sans Serif", 8, kTestItems},
    {IDD_PLAIN, kDialogStyle, 0, 0, 0, 140, 80, "Plain", "MS Sans Serif", 8, kPlainItems},
    {IDD_UNKNOWN_CTL, kDialogStyle, 0, 0, 0, 100, 40, "Unknown", "MS Sans Serif", 8, kUnknownItems},
    {IDD_ABOUT_TEST, kDialogStyle, 0, 0, 0, 110, 40, "About", "MS Sans Serif", 8, kAboutItems},
    {IDD_NO_SYSMENU, DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION, 0, 0, 0, 110, 40, "Bare", "MS Sans Serif", 8,
     kAboutItems},
};

// Two solid images: red at 32x32, blue at 16x16.
const char* const kIcon32[] = {
    "32 32 1 1", "r c #FF0000",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
    "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr", "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
};
const char* const kIcon16[] = {
    "16 16 1 1", "b c #0000FF",
    "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb",
    "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb",
    "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb",
    "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb", "bbbbbbbbbbbbbbbb",
};
const ICONIMAGE kIconImages[] = {{32, kIcon32}, {16, kIcon16}};
const ICONRESOURCE kIcons[] = {{IDI_TEST, kIconImages}};

const AFX_RESOURCES kResources = {kDialogs, {}, kIcons, nullptr};

void putString(VARIANT& v, const std::u16string& s)
{
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(s.data(), UINT(s.size()));
}

HRESULT echo(std::span<VARIANT> args, VARIANT* pResult)
{
    if (args.size() != 2)
        return DISP_E_BADPARAMCOUNT;
    if (args[0].vt != VT_BSTR || args[1].vt != (VT_BSTR | VT_BYREF))
        return DISP_E_TYPEMISMATCH;
    const BSTR in = args[0].bstrVal;
    std::u16string text(in ? in : u"", SysStringLen(in));
    text += u"!";
    SysFreeString(*args[1].pbstrVal); // the caller's old string is ours to replace
    *args[1].pbstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
    pResult->vt = VT_I4;
    pResult->lVal = LONG(text.size());
    return S_OK;
}
}

FakeControl* FakeControl::last = nullptr;
std::vector<BYTE> FakeControl::lastLoaded;
int FakeControl::liveCount = 0;

void FakeControl::Load(std::span<const BYTE> persisted) { lastLoaded.assign(persisted.begin(), persisted.end()); }

HRESULT FakeControl::Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult, EXCEPINFO* pExcepInfo)
{
    switch (dispid) {
    case 1:
        return echo(args, pResult);
    case 2:
    case 3:
        if (wFlags == DISPATCH_PROPERTYPUT) {
            lastPutType = args[0].vt;
            if (dispid == 2)
                value = args[0].lVal;
            else
                enabled = args[0].boolVal;
            return S_OK;
        }
        pResult->vt = dispid == 2 ? VT_I4 : VT_BOOL;
        if (dispid == 2)
            pResult->lVal = value;
        else
            pResult->boolVal = enabled;
        return S_OK;
    case 4:
        pExcepInfo->source = "FakeControl";
        pExcepInfo->description = "The scale is offline.";
        pExcepInfo->scode = E_FAIL;
        return DISP_E_EXCEPTION;
    case 6:
        putString(*pResult, u"caf\u00e9");
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

void FrameworkTest::SetUp()
{
    m_previous = AfxGetResourceTable();
    AfxSetResourceTable(&kResources);
    AfxRegisterControlClass(kFakeClsid, [] { return std::make_unique<FakeControl>(); });
    AfxEnableControlContainer();
    AfxSetTimerSpeedup(1);
}

void FrameworkTest::TearDown()
{
    AfxUnregisterControlClass(kFakeClsid);
    AfxSetResourceTable(m_previous);
    AfxSetTimerSpeedup(1);
}
