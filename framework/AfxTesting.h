// Support for tests and benchmarks: driving windows as a user would and watching what they show,
// without Qt in the caller. Not for the program itself.
#pragma once

#include "CString.h"
#include "Dialog.h"

#include <functional>

// Divides every timer period set from now on by factor (at least 1 ms).
void AfxSetTimerSpeedup(unsigned factor);

// Processes events for that long; 0: only those pending.
void AfxPumpMessages(int milliseconds);

// Runs dlg.DoModal(); once the dialog is up (after OnInitDialog) script runs inside its modal loop.
// A dialog still open when script returns is ended with -2. Returns DoModal's result.
INT_PTR AfxRunModal(CDialog& dlg, std::function<void()> script);

// Runs fn later on the user-interface thread, nested modal loops included.
void AfxPost(int delayMs, std::function<void()> fn);

// The innermost modal dialog running; nullptr when none is.
CDialog* AfxCurrentModalDialog();

// Clicks the item's button or check box widget.
void AfxClickItem(CWnd& dlg, int nID);
void AfxSetItemFocus(CWnd& dlg, int nID);

enum class AfxKey { Enter, Escape, AltSpace, F1 };
// Sends the key to the widget that has the focus in dlg's window (the window itself when none has).
void AfxPressKey(CWnd& dlg, AfxKey key);
// Clicks the caption's close button.
void AfxCloseBox(CWnd& dlg);
// Opens the system menu popup and chooses the item with that id; FALSE when there is no such item.
BOOL AfxChooseSystemMenuItem(CWnd& dlg, UINT nID);

// Message boxes the framework has open (failure reports and AfxMessageBox), the text of the last one
// shown, and closing them all.
int AfxOpenReportCount();
CString AfxLastReportText();
void AfxDismissReports();

// Top-level windows shown now (dialogs, message boxes, popups).
int AfxVisibleTopLevelCount();
