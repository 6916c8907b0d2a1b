// Windows: the framework object of every window and item, the rectangle type and data exchange.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/Automation.h"
#include "framework/CString.h"
#include "framework/MessageMap.h"

#include <memory>

class CDC;
class CFont;
class CMenu;
class CDataExchange;
class AfxWindowImpl; // the backend's binding of a window; framework-internal

class CRect : public RECT
{
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    friend bool operator==(const CRect& a, const CRect& b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

class CWnd : public CCmdTarget
{
    DECLARE_DYNCREATE(CWnd)
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Items of a dialog.
    CWnd* GetDlgItem(int nID) const; // nullptr when there is no such item
    void SetDlgItemText(int nID, LPCTSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;
    // Reads an item as a number: leading blanks, an optional sign, then decimal digits to the end
    // of the text. Anything else (no digits, trailing characters, a value beyond 32 bits) gives 0
    // and *lpTrans FALSE. With bSigned FALSE a minus sign is not accepted.
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;

    void SetWindowText(LPCTSTR lpszString);
    void GetWindowText(CString& rString) const;
    int GetDlgCtrlID() const;

    // Timers: ticks arrive as WM_TIMER on the user-interface thread. After a handler that outlasts
    // one or more periods at most one tick is delivered; missed ticks are not made up.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);

    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE); // nullptr: the whole client area
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const; // relative to the parent's client area for items

    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;
    BOOL IsIconic() const;
    BOOL IsWindowVisible() const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    CFont* GetFont() const;
    CMenu* GetSystemMenu(BOOL bRevert);

    // Sends a message straight to this window's message map (and default processing).
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Hosted controls.
    BOOL CreateControl(REFCLSID clsid, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                       UINT nID);
    IDispatch* GetControlDispatch() const; // nullptr when this window hosts no control

    template <class R, class... Args>
    void InvokeHelper(DISPID dwDispID, WORD wFlags, afx_detail::CheckedVt<std::type_identity_t<R>> vtRet, R* pvRet,
                      afx_detail::CheckedParams<std::type_identity_t<Args>...> pbParamInfo, Args... args) const
    {
        AfxInvokeHelper<R, Args...>(GetControlDispatch(), dwDispID, wFlags, vtRet, pvRet, pbParamInfo, args...);
    }
    // A call whose result is discarded: InvokeHelper(id, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_...).
    template <class... Args>
    void InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, std::nullptr_t,
                      afx_detail::CheckedParams<std::type_identity_t<Args>...> pbParamInfo, Args... args) const
    {
        AfxInvokeHelper<Args...>(GetControlDispatch(), dwDispID, wFlags, vtRet, nullptr, pbParamInfo, args...);
    }
    template <class T>
    void GetProperty(DISPID dwDispID, afx_detail::CheckedVt<std::type_identity_t<T>> vtProp, T* pvProp) const
    {
        AfxGetProperty<T>(GetControlDispatch(), dwDispID, vtProp, pvProp);
    }
    template <class T>
    void SetProperty(DISPID dwDispID, afx_detail::CheckedVt<std::type_identity_t<T>> vtProp, T value)
    {
        AfxSetProperty<T>(GetControlDispatch(), dwDispID, vtProp, value);
    }

    // The window system's window behind this one (the backend's AFX_WIDGET), for the framework and
    // its tests; nullptr when unattached.
    AFX_WIDGET GetSafeWidget() const;

    // Framework-internal: the window binding of this object.
    AfxWindowImpl* GetImpl() const { return m_pImpl; }
    void AttachImpl(AfxWindowImpl* pImpl);
    void DetachImpl();

    // Message entry: the message map first, then default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    AfxWindowImpl* m_pImpl = nullptr;
    struct CurrentMessage
    {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    } m_current;
    friend class AfxWindowImpl;
};

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate; // TRUE: from the window into the members
    CWnd* m_pDlgWnd;
};

// Attaches a program object to a template item, once, so that its message map and operations act
// on that item (a gauge's painting, a control wrapper's calls).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
