#include "framework/DC.h"

#include "framework/win32/AfxWindowImpl.h"

#include <algorithm>
#include <vector>

struct AfxDCImpl
{
    HDC hDC = nullptr;
    HWND hWnd = nullptr;
    PAINTSTRUCT ps{};
};

namespace {
std::vector<CDC*>& liveDCs()
{
    static std::vector<CDC*> s_dcs;
    return s_dcs;
}
}

CDC::CDC() : m_pImpl(std::make_unique<AfxDCImpl>()) { liveDCs().push_back(this); }

CDC::~CDC()
{
    auto& dcs = liveDCs();
    dcs.erase(std::remove(dcs.begin(), dcs.end(), this), dcs.end());
}

HDC CDC::GetSafeHdc() const { return m_pImpl->hDC; }

CDC* CDC::FromHandle(HDC hDC)
{
    for (CDC* dc : liveDCs())
        if (hDC && dc->GetSafeHdc() == hDC)
            return dc;
    return nullptr;
}

// As the window system's own: the background colour filled in by an opaque, empty text output.
void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    if (!m_pImpl->hDC || !lpRect)
        return;
    SetBkColor(m_pImpl->hDC, clr);
    ExtTextOut(m_pImpl->hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr)
{
    const RECT rc{x, y, x + cx, y + cy};
    FillSolidRect(&rc, clr);
}

COLORREF CDC::GetNearestColor(COLORREF clr) const
{
    return m_pImpl->hDC ? ::GetNearestColor(m_pImpl->hDC, clr) : clr;
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon)
{
    return m_pImpl->hDC && hIcon ? ::DrawIcon(m_pImpl->hDC, x, y, hIcon) : FALSE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd)
{
    AfxWindowImpl* impl = pWnd ? pWnd->GetImpl() : nullptr;
    if (impl && impl->m_hdcRedirect) {
        m_pImpl->hDC = impl->m_hdcRedirect;
    } else if (impl && impl->m_hWnd) {
        m_pImpl->hWnd = impl->m_hWnd;
        m_pImpl->hDC = BeginPaint(impl->m_hWnd, &m_pImpl->ps);
    }
}

CPaintDC::~CPaintDC()
{
    if (m_pImpl->hDC && m_pImpl->hWnd)
        EndPaint(m_pImpl->hWnd, &m_pImpl->ps);
}
