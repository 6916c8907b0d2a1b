// Framework-internal: failure reports and the boundary where messages enter the program's maps.
#pragma once

#include "Automation.h"
#include "CString.h"

#include <exception>

// Shows a failure report without blocking (application-modal, so timers keep running behind it).
// While one report is open, further failures show nothing.
void AfxReportFailure(const CString& text);
BOOL AfxFailureReportOpen();

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
