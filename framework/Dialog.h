// Dialogs built from templates, run modally.
#pragma once

#include "Wnd.h"

using INT_PTR = std::intptr_t;

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the window from the template and runs it modally; returns the end code, or -1 at
    // once, showing nothing, when the window cannot be created (missing template, a control class
    // that is not registered, control hosting not enabled).
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    UINT GetTemplateID() const { return m_nIDTemplate; }

protected:
    // Runs the data exchange into the window. Returns TRUE.
    virtual BOOL OnInitDialog();
    // Command 1: data exchange from the window, then the end with IDOK.
    virtual void OnOK();
    // Command 2: the end with IDCANCEL.
    virtual void OnCancel();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()

private:
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    friend class AfxDialogImpl;
};
