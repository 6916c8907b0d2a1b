// Support for tests and benchmarks: driving windows as a user would and watching what they show,
// without Qt in the caller. Not for the program itself.
#pragma once

#include "framework/CString.h"
#include "framework/Dialog.h"

#include <functional>
#include <vector>

// A test program's set-up before its first test (headless: Qt's offscreen platform) and its
// tear-down after the last.
void AfxTestStartup(int& argc, char** argv);
void AfxTestShutdown();

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
// Closes every top-level window still shown, failure reports included; returns how many there were.
int AfxCloseTopLevelWindows();

// The id of the item that has the focus in dlg's window; 0 when none has.
int AfxFocusedItemId(CWnd& dlg);

// Pixels of a window's client area, row by row.
struct AFX_IMAGE
{
    int width = 0, height = 0;
    std::vector<COLORREF> bits;
    COLORREF GetPixel(int x, int y) const { return bits[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
// The client area as the window paints it now.
AFX_IMAGE AfxGrabClientArea(CWnd& wnd);
// The client area as the window paints it minimised, given a client area of cx by cy pixels.
AFX_IMAGE AfxPaintMinimized(CWnd& wnd, int cx, int cy);

// The font an item shows its text in, as the window system realised it.
struct AFX_FONTINFO
{
    int height;       // cell height in pixels
    int averageWidth; // average character width in pixels
    int weight;       // 400 normal, 700 bold
    BOOL italic;
    CString face;
};
AFX_FONTINFO AfxGetItemFont(CWnd& item);
