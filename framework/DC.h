// Painting: device contexts on a window's client area, system colours and metrics.
#pragma once

#include "Wnd.h"

#include <memory>

class QPainter;

class CDC
{
public:
    virtual ~CDC();
    HDC GetSafeHdc() const { return reinterpret_cast<HDC>(const_cast<CDC*>(this)); }
    static CDC* FromHandle(HDC hDC) { return reinterpret_cast<CDC*>(hDC); }

    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    // The colour this device actually shows for clr (the nearest one on a device with few colours).
    COLORREF GetNearestColor(COLORREF clr) const;
    BOOL DrawIcon(int x, int y, HICON hIcon);

    QPainter* GetPainter() const { return m_pPainter.get(); } // framework-internal

protected:
    CDC() = default;
    std::unique_ptr<QPainter> m_pPainter;
};

// Begins painting on a window for the paint message being handled; ends it when destroyed.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

private:
    CWnd* m_pWnd;
};

COLORREF GetSysColor(int nIndex);
int GetSystemMetrics(int nIndex);
