#include "tests/framework/FrameworkFixture.h"

#include <string>

namespace {
constexpr const char* kFakeClsid = "{0A1B2C3D-0000-4000-8000-00000000F00D}";
const BYTE kInitData[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
constexpr DWORD kTab = WS_CHILD | WS_VISIBLE | WS_TABSTOP, kShown = WS_CHILD | WS_VISIBLE;

const AFX_DLGITEMTEMPLATE kTestItems[] = {
    {IDC_EDIT, "EDIT", "", 10, 10, 60, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
    {IDC_SEND, "BUTTON", "&Send", 80, 10, 50, 14, kTab | BS_PUSHBUTTON},
    {IDC_LOOP, "BUTTON", "&Loop", 10, 30, 60, 10, kTab | BS_AUTOCHECKBOX},
    {IDC_WEIGHT, "STATIC", "0.000", 10, 45, 100, 20, kShown | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN},
    {IDC_GAUGE, "STATIC", "", 120, 45, 20, 60, kShown | SS_BLACKRECT | WS_BORDER},
    {IDC_STATUS, "STATIC", "A && B", 10, 70, 100, 10, kShown | SS_LEFT, WS_EX_STATICEDGE},
    {IDC_GROUP, "BUTTON", "Scale", 5, 85, 110, 30, kShown | BS_GROUPBOX},
    {IDC_STOP, "BUTTON", "S&top", 150, 10, 40, 14, kTab | BS_PUSHBUTTON},
    {IDC_CANCEL, "BUTTON", "&Direct", 150, 30, 40, 14, kTab | BS_PUSHBUTTON},
    {IDC_SCALE, kFakeClsid, "", 150, 50, 20, 20, kShown, 0, kInitData},
};
const AFX_DLGITEMTEMPLATE kPlainItems[] = {
    {IDC_LOOP, "BUTTON", "&Loop", 10, 30, 60, 10, kTab | BS_AUTOCHECKBOX},
    {IDOK, "BUTTON", "OK", 80, 10, 50, 14, kTab | BS_DEFPUSHBUTTON},
    {IDC_CANCEL, "BUTTON", "Cancel", 80, 30, 50, 14, kTab | BS_PUSHBUTTON},
    {IDC_GAUGE, "STATIC", "", 10, 45, 40, 30, kShown | SS_BLACKRECT},
};
const AFX_DLGITEMTEMPLATE kUnknownItems[] = {
    {IDC_SCALE, "{99999999-0000-0000-0000-000000000000}", "", 10, 10, 20, 20, kShown},
};
const AFX_DLGITEMTEMPLATE kAboutItems[] = {
    {-1, "STATIC", "128", 10, 10, 20, 20, kShown | SS_ICON},
    {IDOK, "BUTTON", "OK", 60, 10, 40, 14, kTab | BS_DEFPUSHBUTTON},
};

constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
const AFX_DLGTEMPLATE kDialogs[] = {
    {IDD_TEST, kDialogStyle, WS_EX_APPWINDOW, 0, 0, 200, 120, "Test console", "MS Sans Serif", 8, kTestItems},
    {IDD_PLAIN, kDialogStyle, 0, 0, 0, 140, 80, "Plain", "MS Sans Serif", 8, kPlainItems},
    {IDD_UNKNOWN_CTL, kDialogStyle, 0, 0, 0, 100, 40, "Unknown", "MS Sans Serif", 8, kUnknownItems},
    {IDD_ABOUT_TEST, kDialogStyle, 0, 0, 0, 110, 40, "About", "MS Sans Serif", 8, kAboutItems},
};

// A square image of one colour in XPM form.
struct SolidXpm
{
    std::vector<std::string> rows;
    std::vector<const char*> lines;
    SolidXpm(int size, const char* colour)
        : rows{std::to_string(size) + " " + std::to_string(size) + " 1 1", std::string("x c ") + colour}
    {
        rows.resize(std::size_t(size) + 2, std::string(std::size_t(size), 'x'));
        for (const std::string& row : rows)
            lines.push_back(row.c_str());
    }
};
const SolidXpm kRed32(32, "#FF0000"), kBlue16(16, "#0000FF");
const ICONIMAGE kIconImages[] = {{32, kRed32.lines}, {16, kBlue16.lines}};
const ICONRESOURCE kIcons[] = {{IDI_TEST, kIconImages}};
const AFX_RESOURCES kResources = {kDialogs, {}, kIcons, nullptr};

// Installs the resources and the fake control's class before the first test.
struct FrameworkEnvironment : testing::Environment
{
    void SetUp() override
    {
        AfxSetResourceTable(&kResources);
        AfxRegisterControlClass(kFakeClsid, [] { return std::make_unique<FakeControl>(); });
        AfxEnableControlContainer();
    }
};
testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

HRESULT echo(std::span<VARIANT> args, VARIANT* pResult)
{
    if (args.size() != 2 || args[0].vt != VT_BSTR || args[1].vt != (VT_BSTR | VT_BYREF))
        return DISP_E_TYPEMISMATCH;
    std::u16string text = AfxWideFromBstr(args[0].bstrVal) + u"!";
    SysFreeString(*args[1].pbstrVal); // the caller's old string is ours to replace
    *args[1].pbstrVal = AfxAllocBstrFromWide(text);
    return pResult->vt = VT_I4, pResult->lVal = LONG(text.size()), S_OK;
}
}

HRESULT FakeControl::Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult, EXCEPINFO* pExcepInfo,
                            UINT*)
{
    if (dispid == 1)
        return echo(args, pResult);
    if (dispid == 2)
        return (wFlags == DISPATCH_PROPERTYPUT ? property = args[0] : *pResult = property), S_OK;
    if (dispid == 4) {
        pExcepInfo->bstrSource = SysAllocString(OLESTR("FakeControl"));
        pExcepInfo->bstrDescription = SysAllocString(OLESTR("The scale is offline."));
        pExcepInfo->scode = E_FAIL;
        return DISP_E_EXCEPTION;
    }
    if (dispid != 6)
        return DISP_E_MEMBERNOTFOUND;
    return pResult->vt = VT_BSTR, pResult->bstrVal = SysAllocString(OLESTR("caf\u00e9")), S_OK;
}
