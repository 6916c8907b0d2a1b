// What every backend's windows share: message entry, default processing of the message being
// handled, and data exchange.
#include "framework/Wnd.h"

#include "framework/private/AfxItemInt.h"
#include "framework/private/AfxReports.h"

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Default() works on the message being handled; nested sends restore it on the way out.
    struct Restore
    {
        CWnd* pWnd;
        CurrentMessage saved;
        ~Restore() { pWnd->m_current = saved; }
    } restore{this, m_current};
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    AfxCallGuarded([&] { result = WindowProc(message, wParam, lParam); });
    return result;
}

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

void CWnd::SetDlgItemText(int nID, LPCTSTR lpszString)
{
    if (CWnd* item = GetDlgItem(nID))
        item->SetWindowText(lpszString);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const
{
    rString.Empty();
    if (CWnd* item = GetDlgItem(nID))
        item->GetWindowText(rString);
    return rString.GetLength();
}

// The number rule is the framework's own, the same on every platform.
UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const
{
    CString text;
    GetDlgItemText(nID, text);
    long long value = 0;
    const bool ok = GetDlgItem(nID) && AfxParseItemInt(text, bSigned != FALSE, value);
    if (lpTrans)
        *lpTrans = ok ? TRUE : FALSE;
    return ok ? UINT(value) : 0;
}

void CWnd::Invalidate(BOOL bErase) { InvalidateRect(nullptr, bErase); }

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}
