#include "framework/Wnd.h"

#include "framework/DC.h"
#include "framework/Font.h"
#include "framework/private/AfxReports.h"
#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxIcon.h"
#include "framework/qt/AfxWindowImpl.h"
#include "framework/WinApp.h"

#include <QFrame>
#include <QWidget>

#include <climits>

IMPLEMENT_DYNCREATE(CWnd, CObject)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() = default;

CWnd::~CWnd() { DetachImpl(); }

void CWnd::AttachImpl(AfxWindowImpl* pImpl)
{
    if (pImpl)
        pImpl->attach(this);
    else
        DetachImpl();
}

void CWnd::DetachImpl()
{
    if (m_pImpl)
        m_pImpl->detach();
}

AFX_WIDGET CWnd::GetSafeWidget() const { return m_pImpl ? m_pImpl->widget() : nullptr; }

// ---- Messages -----------------------------------------------------------------------------------

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessage(WM_CLOSE);
        return 0;
    case WM_PAINT:
        if (m_pImpl && m_pImpl->hooks())
            m_pImpl->hooks()->defaultPaint();
        return 0;
    case WM_ICONERASEBKGND:
        if (CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam))) {
            CRect rc;
            GetClientRect(&rc);
            dc->FillSolidRect(&rc, GetSysColor(COLOR_BTNFACE));
        }
        return 1;
    case WM_QUERYDRAGICON:
        return LRESULT(GetIcon(TRUE) ? GetIcon(TRUE) : GetIcon(FALSE));
    case WM_COMMAND: {
        // Commands no window takes go to the application (ID_HELP: CWinApp::OnHelp).
        LRESULT result = 0;
        if (CWinApp* app = AfxGetApp())
            app->OnWndMsg(message, wParam, lParam, &result);
        return result;
    }
    default:
        return 0;
    }
}

// ---- Items --------------------------------------------------------------------------------------

CWnd* CWnd::GetDlgItem(int nID) const
{
    AfxWindowImpl* item = m_pImpl ? m_pImpl->child(nID) : nullptr;
    return item ? item->itemWnd() : nullptr;
}



void CWnd::SetWindowText(LPCTSTR lpszString)
{
    if (m_pImpl && m_pImpl->hooks())
        m_pImpl->hooks()->setWindowText(AfxToQString(lpszString));
}

void CWnd::GetWindowText(CString& rString) const
{
    rString = (m_pImpl && m_pImpl->hooks()) ? AfxFromQString(m_pImpl->hooks()->windowText()) : CString();
}

int CWnd::GetDlgCtrlID() const { return m_pImpl ? m_pImpl->id() : 0; }

// ---- Timers -------------------------------------------------------------------------------------

// A timer procedure is not supported: every tick arrives as WM_TIMER.
UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC)
{
    return m_pImpl ? m_pImpl->setTimer(nIDEvent, nElapse) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return m_pImpl && m_pImpl->killTimer(nIDEvent) ? TRUE : FALSE; }

// ---- Geometry and look --------------------------------------------------------------------------

// Qt always erases before painting, so bErase changes nothing.
void CWnd::InvalidateRect(LPCRECT lpRect, BOOL)
{
    if (QWidget* w = GetSafeWidget())
        lpRect ? w->update(AfxToQRect(*lpRect)) : w->update();
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    // A framed item's border is not part of its client area.
    const QWidget* w = GetSafeWidget();
    const auto* frame = qobject_cast<const QFrame*>(w);
    const QRect client = frame ? QRect(QPoint(0, 0), frame->contentsRect().size()) : w ? w->rect() : QRect();
    *lpRect = AfxFromQRect(client);
}

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    const QWidget* w = GetSafeWidget();
    *lpRect = !w ? CRect() : w->isWindow() ? AfxFromQRect(w->frameGeometry()) : AfxFromQRect(w->geometry());
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) { return m_pImpl ? m_pImpl->setIcon(hIcon, bBigIcon != FALSE) : nullptr; }

HICON CWnd::GetIcon(BOOL bBigIcon) const { return m_pImpl ? m_pImpl->icon(bBigIcon != FALSE) : nullptr; }

BOOL CWnd::IsIconic() const { return GetSafeWidget() && GetSafeWidget()->isMinimized() ? TRUE : FALSE; }

BOOL CWnd::IsWindowVisible() const { return GetSafeWidget() && GetSafeWidget()->isVisible() ? TRUE : FALSE; }

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    QWidget* w = GetSafeWidget();
    if (!w || !pFont || !AfxQFont(*pFont))
        return;
    m_pImpl->setFont(pFont);
    w->setFont(*AfxQFont(*pFont));
    if (bRedraw)
        w->update();
}

CFont* CWnd::GetFont() const { return m_pImpl ? m_pImpl->font() : nullptr; }

// bRevert TRUE puts the menu back to its first state and returns nullptr, as Windows does.
CMenu* CWnd::GetSystemMenu(BOOL bRevert)
{
    if (!m_pImpl || !m_pImpl->systemMenu())
        return nullptr;
    if (bRevert) {
        m_pImpl->resetSystemMenu();
        return nullptr;
    }
    return m_pImpl->systemMenu();
}
