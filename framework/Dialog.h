// Dialogs built from templates, run modally.
//
// Keyboard and closing, the same on every desktop:
// - Enter (Return or keypad Enter) on a focused push button clicks it; in an edit box it clicks the
//   first push button after the box in tab order; anywhere else it does nothing. No button is a
//   default button, so Enter never ends a dialog by itself.
// - Escape sends WM_COMMAND IDCANCEL; F1 sends WM_COMMAND ID_HELP (the application's map takes it
//   when the dialog's does not).
// - The caption's close button and the system menu's Close send WM_SYSCOMMAND SC_CLOSE; its default
//   processing sends WM_CLOSE, whose default processing sends WM_COMMAND IDCANCEL. A map entry for
//   command 2 therefore catches all three; without one, OnCancel ends the dialog.
// - The system menu (GetSystemMenu) opens on Alt+Space and on a right-click on the background.
#pragma once

#include "framework/Wnd.h"

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
