// The one-report-at-a-time rule, the same on every backend: while a failure report is open, no
// further failure report or message box is shown.
#include "framework/private/AfxReports.h"

#include "framework/AfxTesting.h"
#include "framework/WinApp.h"

namespace {
CString& lastText()
{
    static CString s_text;
    return s_text;
}
}

void AfxReportFailure(const CString& text)
{
    if (!AfxFailureReportOpen())
        AfxShowFailureReport(text);
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType)
{
    if (!AfxFailureReportOpen())
        AfxShowMessageBox(CString(lpszText), nType);
    return IDOK;
}

void AfxNoteReportText(const CString& text) { lastText() = text; }

CString AfxLastReportText() { return lastText(); }
