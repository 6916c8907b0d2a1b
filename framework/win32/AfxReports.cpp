// Failure reports and message boxes: a small box of the framework's own, made by the dialog manager
// like any dialog, so that a failure report can stay open without blocking (timers go on behind it)
// while AfxMessageBox runs the same box modally.
#include "framework/private/AfxReports.h"

#include "framework/AfxTesting.h"
#include "framework/private/AfxModal.h"
#include "framework/win32/AfxDialogTemplate.h"
#include "framework/win32/AfxMessageLoop.h"
#include "framework/win32/AfxWindowImpl.h"
#include "framework/WinApp.h"

#include <algorithm>
#include <vector>

namespace {
struct OpenBox
{
    HWND hWnd;
    HWND hWndOwner;
    bool failure;
};

std::vector<OpenBox>& openBoxes()
{
    static std::vector<OpenBox> s_boxes;
    return s_boxes;
}

constexpr int IDC_REPORT_ICON = 100, IDC_REPORT_TEXT = 101;
constexpr DWORD kItem = WS_CHILD | WS_VISIBLE;

INT_PTR CALLBACK boxProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemText(hWnd, IDC_REPORT_TEXT, reinterpret_cast<LPCSTR>(lParam));
        SendDlgItemMessage(hWnd, IDC_REPORT_ICON, STM_SETICON, WPARAM(LoadIcon(nullptr, IDI_WARNING)), 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(hWnd);
        return TRUE;
    case WM_DESTROY: {
        auto& boxes = openBoxes();
        const auto it = std::find_if(boxes.begin(), boxes.end(), [&](const OpenBox& b) { return b.hWnd == hWnd; });
        if (it != boxes.end()) {
            if (it->hWndOwner)
                EnableWindow(it->hWndOwner, TRUE);
            boxes.erase(it);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// Shown over the dialog in use, which waits behind it.
HWND showBox(const CString& text, bool failure)
{
    static const AFX_DLGITEMTEMPLATE items[] = {
        {IDC_REPORT_ICON, "STATIC", "", 10, 10, 20, 20, kItem | SS_ICON},
        {IDC_REPORT_TEXT, "STATIC", "", 40, 10, 190, 40, kItem | SS_LEFT | SS_NOPREFIX},
        {IDOK, "BUTTON", "OK", 95, 56, 50, 14, kItem | WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    CWinApp* app = AfxGetApp();
    const AFX_DLGTEMPLATE tpl = {0, DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 0,
                                 240, 78, app ? static_cast<LPCTSTR>(app->m_strAppName) : "", "MS Sans Serif", 8, items};
    const std::vector<WORD> bytes = AfxBuildDialogTemplate(tpl);
    CDialog* owner = AfxModalRun::current();
    const HWND hWndOwner = owner && owner->GetImpl() ? owner->GetImpl()->m_hWnd : nullptr;
    const HWND hWnd = CreateDialogIndirectParam(GetModuleHandle(nullptr), reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()),
                                                hWndOwner, &boxProc, reinterpret_cast<LPARAM>(static_cast<LPCTSTR>(text)));
    if (!hWnd)
        return nullptr;
    AfxNoteReportText(text);
    openBoxes().push_back({hWnd, hWndOwner, failure});
    if (hWndOwner)
        EnableWindow(hWndOwner, FALSE);
    return hWnd;
}
}

BOOL AfxFailureReportOpen()
{
    const auto& boxes = openBoxes();
    return std::any_of(boxes.begin(), boxes.end(), [](const OpenBox& b) { return b.failure; }) ? TRUE : FALSE;
}

void AfxShowFailureReport(const CString& text) { showBox(text, true); }

void AfxShowMessageBox(const CString& text, UINT)
{
    const HWND hWnd = showBox(text, false);
    while (hWnd && IsWindow(hWnd) && AfxPumpMessage()) {
    }
}

int AfxOpenReportCount() { return int(openBoxes().size()); }

void AfxDismissReports()
{
    const std::vector<OpenBox> boxes = openBoxes();
    for (const OpenBox& b : boxes)
        DestroyWindow(b.hWnd);
}
