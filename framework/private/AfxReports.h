// Framework-internal: failure reports and the boundary where messages enter the program's maps.
#pragma once

#include "framework/Automation.h"
#include "framework/CString.h"
#include "framework/private/AfxBackend.h"

#include <exception>

// Shows a failure report without blocking (application-modal, so timers keep running behind it).
// While one failure report is open, further failures and message boxes show nothing: the backend
// only shows the boxes (private/AfxBackend.h), this rule is kept once, in AfxReportsCommon.cpp.
void AfxReportFailure(const CString& text);

// The backend notes the text of each box it shows, for AfxLastReportText.
void AfxNoteReportText(const CString& text);

// Runs f; an exception it throws is reported and goes no further. False when f failed.
template <class F>
bool AfxCallGuarded(F&& f)
{
    try {
        f();
        return true;
    } catch (const CException& e) {
        AfxReportFailure(e.GetErrorMessage());
    } catch (const std::exception& e) {
        AfxReportFailure(CString(e.what()));
    } catch (...) {
        AfxReportFailure(CString("An unexpected error occurred."));
    }
    return false;
}
