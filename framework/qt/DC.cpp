#include "framework/DC.h"

#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxIcon.h"
#include "framework/qt/AfxWindowImpl.h"

#include <QApplication>
#include <QFrame>
#include <QPainter>
#include <QPalette>

struct AfxDCImpl
{
    std::unique_ptr<QPainter> painter;
};

CDC::CDC() : m_pImpl(std::make_unique<AfxDCImpl>()) {}
CDC::~CDC() = default;

// A handle is the address of the CDC that painting runs on.
HDC CDC::GetSafeHdc() const { return reinterpret_cast<HDC>(const_cast<CDC*>(this)); }
CDC* CDC::FromHandle(HDC hDC) { return reinterpret_cast<CDC*>(hDC); }

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    if (lpRect)
        FillSolidRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, clr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr)
{
    if (m_pImpl->painter)
        m_pImpl->painter->fillRect(QRect(x, y, cx, cy), AfxToQColor(clr));
}

// Qt paints on true-colour surfaces, where every colour is shown as it is.
COLORREF CDC::GetNearestColor(COLORREF clr) const { return clr; }

BOOL CDC::DrawIcon(int x, int y, HICON hIcon)
{
    if (!m_pImpl->painter || !hIcon)
        return FALSE;
    m_pImpl->painter->drawPixmap(x, y, hIcon->pixmap);
    return TRUE;
}

// Outside the window's paint message Qt allows no painting, so the context then draws nothing.
CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd)
{
    AfxWindowImpl* impl = pWnd ? pWnd->GetImpl() : nullptr;
    if (impl && impl->inPaint() && impl->widget()) {
        m_pImpl->painter = std::make_unique<QPainter>(impl->widget());
        // Client coordinates start inside a framed item's border.
        if (const auto* frame = qobject_cast<const QFrame*>(impl->widget())) {
            m_pImpl->painter->setClipRect(frame->contentsRect());
            m_pImpl->painter->translate(frame->contentsRect().topLeft());
        }
    }
}

CPaintDC::~CPaintDC()
{
    if (m_pImpl->painter)
        m_pImpl->painter->end();
}

COLORREF GetSysColor(int nIndex)
{
    if (nIndex == COLOR_BTNFACE)
        return AfxFromQColor(QApplication::palette().color(QPalette::Button));
    return RGB(0, 0, 0);
}

int GetSystemMetrics(int nIndex) { return nIndex == SM_CXICON || nIndex == SM_CYICON ? 32 : 0; }
