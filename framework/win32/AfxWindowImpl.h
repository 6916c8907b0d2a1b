// Framework-internal: the binding of a program object to its window. One map from window handle to
// binding, filled when a window the framework creates receives its first message or when the program
// attaches an object to an item; one window procedure and one dialog procedure hand every message to
// the object's message map, whose default processing is the window's own procedure.
#pragma once

#include "framework/Menu.h"
#include "framework/Wnd.h"

#include <map>
#include <memory>
#include <vector>

class AfxControlSite;
class CDialog;

class AfxWindowImpl
{
public:
    AfxWindowImpl(CWnd* pWnd) : m_pWnd(pWnd) {}
    virtual ~AfxWindowImpl();

    // Binds the handle to this object; a subclassed window's messages then come through the map.
    void bind(HWND hWnd);
    void subclass(HWND hWnd);
    void unbind();

    // The window's own processing of a message (its procedure before subclassing, the dialog manager).
    virtual LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A dialog's first message with its items made, and its last one.
    virtual BOOL onInitDialog() { return TRUE; }
    virtual void onNcDestroy() {}
    // The next call of the dialog procedure comes from defaultProc: the dialog manager's turn.
    bool m_bDefaulting = false;

    HWND m_hWnd = nullptr;
    CWnd* m_pWnd;
    WNDPROC m_pfnSuper = nullptr;
    CMenu m_sysMenu;
    std::map<UINT_PTR, UINT> m_timers; // id -> period
    CFont* m_pFont = nullptr;
    AfxControlSite* m_pSite = nullptr; // the control hosted in this item, owned by its dialog
    // Tests paint a window as if minimised to a client area of their size, into their own DC.
    HDC m_hdcRedirect = nullptr;
    SIZE m_redirectSize{};
};

// The binding of a handle; nullptr for a window the framework does not know.
AfxWindowImpl* AfxFindWindow(HWND hWnd);
// The binding a window being created claims with its first message.
void AfxHookWindowCreate(AfxWindowImpl* pImpl);
AfxWindowImpl* AfxClaimWindow(HWND hWnd);

// A tick of a program timer restarts its period, so that a handler that outlasts several periods
// gets at most one tick at once: missed ticks are not made up.
void AfxRestartTimer(AfxWindowImpl* pImpl, UINT message, WPARAM wParam);

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
