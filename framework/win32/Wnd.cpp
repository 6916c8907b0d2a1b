#include "framework/Wnd.h"

#include "framework/Font.h"
#include "framework/private/AfxTestHooks.h"
#include "framework/win32/AfxDialogImpl.h"
#include "framework/win32/AfxWindowImpl.h"
#include "framework/WinApp.h"

#include <algorithm>
#include <vector>

IMPLEMENT_DYNCREATE(CWnd, CObject)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

namespace {
HWND hwndOf(const CWnd* pWnd) { return pWnd && pWnd->GetImpl() ? pWnd->GetImpl()->m_hWnd : nullptr; }
}

CWnd::CWnd() = default;

CWnd::~CWnd() { DetachImpl(); }

void CWnd::AttachImpl(AfxWindowImpl* pImpl)
{
    DetachImpl();
    if (!pImpl)
        return;
    if (pImpl->m_pWnd && pImpl->m_pWnd != this)
        pImpl->m_pWnd->DetachImpl();
    pImpl->m_pWnd = this;
    m_pImpl = pImpl;
}

void CWnd::DetachImpl()
{
    if (m_pImpl && m_pImpl->m_pWnd == this)
        m_pImpl->m_pWnd = nullptr;
    m_pImpl = nullptr;
}

AFX_WIDGET CWnd::GetSafeWidget() const { return hwndOf(this); }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Commands no window takes go to the application (ID_HELP: CWinApp::OnHelp).
    if (message == WM_COMMAND) {
        LRESULT result = 0;
        if (CWinApp* app = AfxGetApp(); app && app->OnWndMsg(message, wParam, lParam, &result))
            return result;
    }
    return m_pImpl && m_pImpl->m_hWnd ? m_pImpl->defaultProc(message, wParam, lParam) : 0;
}

// ---- Items --------------------------------------------------------------------------------------

CWnd* CWnd::GetDlgItem(int nID) const
{
    auto* dialog = dynamic_cast<AfxDialogImpl*>(m_pImpl);
    AfxWindowImpl* item = dialog ? dialog->item(nID) : nullptr;
    if (!item)
        return nullptr;
    if (!item->m_pWnd) {
        auto* owned = new CWnd;
        owned->AttachImpl(item);
        dialog->adoptItemWnd(owned);
    }
    return item->m_pWnd;
}



void CWnd::SetWindowText(LPCTSTR lpszString)
{
    if (HWND h = hwndOf(this))
        ::SetWindowText(h, lpszString ? lpszString : "");
}

void CWnd::GetWindowText(CString& rString) const
{
    const HWND h = hwndOf(this);
    const int length = h ? GetWindowTextLength(h) : 0;
    std::string text(std::size_t(length) + 1, '\0');
    if (h)
        text.resize(std::size_t(::GetWindowText(h, text.data(), length + 1)));
    else
        text.clear();
    rString = CString(std::move(text));
}

int CWnd::GetDlgCtrlID() const { return hwndOf(this) ? ::GetDlgCtrlID(hwndOf(this)) : 0; }

// ---- Timers -------------------------------------------------------------------------------------

// A timer procedure is not supported: every tick arrives as WM_TIMER.
UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC)
{
    const HWND h = hwndOf(this);
    const UINT period = AfxTimerPeriod(nElapse);
    if (!h || !::SetTimer(h, nIDEvent, period, nullptr))
        return 0;
    m_pImpl->m_timers[nIDEvent] = period;
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    if (m_pImpl)
        m_pImpl->m_timers.erase(nIDEvent);
    return hwndOf(this) ? ::KillTimer(hwndOf(this), nIDEvent) : FALSE;
}

// ---- Geometry and look --------------------------------------------------------------------------

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase)
{
    if (HWND h = hwndOf(this))
        ::InvalidateRect(h, lpRect, bErase);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    *lpRect = RECT{0, 0, 0, 0};
    if (m_pImpl && m_pImpl->m_hdcRedirect)
        *lpRect = RECT{0, 0, m_pImpl->m_redirectSize.cx, m_pImpl->m_redirectSize.cy};
    else if (HWND h = hwndOf(this))
        ::GetClientRect(h, lpRect);
}

// Relative to the parent's client area for items, as the program places them.
void CWnd::GetWindowRect(LPRECT lpRect) const
{
    *lpRect = RECT{0, 0, 0, 0};
    const HWND h = hwndOf(this);
    if (!h)
        return;
    ::GetWindowRect(h, lpRect);
    if (GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, ::GetParent(h), reinterpret_cast<LPPOINT>(lpRect), 2);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    const HWND h = hwndOf(this);
    return h ? reinterpret_cast<HICON>(::SendMessage(h, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, LPARAM(hIcon))) : nullptr;
}

HICON CWnd::GetIcon(BOOL bBigIcon) const
{
    const HWND h = hwndOf(this);
    return h ? reinterpret_cast<HICON>(::SendMessage(h, WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0)) : nullptr;
}

BOOL CWnd::IsIconic() const
{
    return (m_pImpl && m_pImpl->m_hdcRedirect) || (hwndOf(this) && ::IsIconic(hwndOf(this)));
}

BOOL CWnd::IsWindowVisible() const { return hwndOf(this) && ::IsWindowVisible(hwndOf(this)); }

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    const HWND h = hwndOf(this);
    if (!h || !pFont || !pFont->m_hObject)
        return;
    m_pImpl->m_pFont = pFont;
    ::SendMessage(h, WM_SETFONT, WPARAM(pFont->m_hObject), bRedraw);
}

CFont* CWnd::GetFont() const { return m_pImpl ? m_pImpl->m_pFont : nullptr; }

// bRevert TRUE puts the menu back to its first state and returns nullptr, as Windows does.
CMenu* CWnd::GetSystemMenu(BOOL bRevert)
{
    const HWND h = hwndOf(this);
    if (!h || !(GetWindowLongPtr(h, GWL_STYLE) & WS_SYSMENU))
        return nullptr;
    if (bRevert) {
        m_pImpl->m_sysMenu = CMenu();
        ::GetSystemMenu(h, TRUE);
        return nullptr;
    }
    m_pImpl->m_sysMenu.m_hMenu = ::GetSystemMenu(h, FALSE);
    return m_pImpl->m_sysMenu.m_hMenu ? &m_pImpl->m_sysMenu : nullptr;
}
