// Framework-internal: the modal-run bookkeeping every backend's dialog window keeps. The running
// dialogs form a stack, innermost last; a run ends with the code EndDialog gave, IDCANCEL when none.
#pragma once

#include "framework/AfxTypes.h"

class CDialog;

class AfxModalRun
{
public:
    explicit AfxModalRun(CDialog& dlg) : m_dlg(dlg) {}
    AfxModalRun(const AfxModalRun&) = delete;
    AfxModalRun& operator=(const AfxModalRun&) = delete;

    // Around the modal loop: the dialog is the innermost running one in between.
    void enter();
    void leave();

    void end(INT_PTR nResult)
    {
        m_result = nResult;
        m_ended = true;
    }
    bool ended() const { return m_ended; }
    bool isRunning() const { return m_running && !m_ended; }
    INT_PTR result() const { return m_result; }
    CDialog& dialog() const { return m_dlg; }

    static CDialog* current(); // innermost running modal dialog; nullptr when none is

private:
    CDialog& m_dlg;
    INT_PTR m_result = IDCANCEL;
    bool m_running = false;
    bool m_ended = false;
};
