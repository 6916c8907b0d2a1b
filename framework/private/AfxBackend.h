// What every backend supplies, declared once; framework/qt/ and framework/win32/ each define all of
// it, and the code both share (framework/*.cpp) reaches a backend through nothing else.
//
// Besides these functions, each backend defines the members of the public classes that touch the
// window system, in files of the same name in both folders:
//   Wnd.cpp            CWnd: items, texts, timers, painting requests, icons, font, system menu
//   WndControl.cpp     CWnd::CreateControl, CWnd::GetControlDispatch
//   DC.cpp, Font.cpp   CDC and CPaintDC, CFont
//   WinApp.cpp         AfxWinMain and AfxModuleName
//   AfxReports.cpp     the report boxes below and the test support's view of them
//   OleAuto.cpp        the automation runtime (strings, variants, arrays) that Automation.h uses
//   AfxTesting.cpp     the rest of AfxTesting.h
//   WinMain.cpp        the program's entry point
// and keeps the binding of a program object to its window as class AfxWindowImpl
// (AfxWindowImpl.h), a modal dialog's window as class AfxDialogImpl (AfxDialogImpl.h) and icon
// handles in AfxIcon.cpp. Anything else in a backend folder is that backend's own.
#pragma once

#include "framework/CString.h"

#include <functional>

class AfxWindowImpl;
class CDialog;
class CWnd;

// The executable's name without folder and extension.
CString AfxModuleName();

// The shared handle of the icon's image (AfxFindIconImage); nullptr when there is none.
HICON AfxLoadIcon(UINT nID);

// Makes the dialog's window from its template and runs it modally with the modal-run bookkeeping
// of private/AfxModal.h; script (may be empty) runs once the window is up. -1 at once, showing
// nothing, when the window cannot be made.
INT_PTR AfxRunDialog(CDialog& dlg, std::function<void()> script);
// Ends the dialog's modal run with that code; nothing when its window is not running.
void AfxEndDialog(CDialog& dlg, INT_PTR nResult);

// The binding of a dialog's item; nullptr when dlg has no window or no such item.
AfxWindowImpl* AfxFindItem(CWnd& dlg, int nID);
// Attaches wnd to the item so that the item's messages reach wnd's map.
void AfxAttachItem(AfxWindowImpl& item, CWnd& wnd);
// A check box's state: 1 checked, 0 unchecked, 2 indeterminate. Reading an item that is no check
// box leaves value alone where the platform cannot tell.
void AfxGetItemCheck(AfxWindowImpl& item, int& value);
void AfxSetItemCheck(AfxWindowImpl& item, int value);

// The window system's own menu behind a CMenu, where the platform keeps one (CMenu::m_hMenu).
BOOL AfxAppendMenuItem(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem);
UINT AfxMenuItemCount(HMENU hMenu);

// Report boxes, under the one-report-at-a-time rule of private/AfxReports.h: a failure report open
// now; showing one without blocking; a message box run modally.
BOOL AfxFailureReportOpen();
void AfxShowFailureReport(const CString& text);
void AfxShowMessageBox(const CString& text, UINT nType);
