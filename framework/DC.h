// Painting: device contexts on a window's client area, system colours and metrics.
#pragma once

#include "framework/Wnd.h"

#include <memory>

struct AfxDCImpl; // the backend's drawing state

class CDC
{
public:
    virtual ~CDC();
    HDC GetSafeHdc() const;
    static CDC* FromHandle(HDC hDC); // the CDC painting on that handle now; nullptr when none is

    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    // The colour this device actually shows for clr (the nearest one on a device with few colours).
    COLORREF GetNearestColor(COLORREF clr) const;
    BOOL DrawIcon(int x, int y, HICON hIcon);

protected:
    CDC();
    std::unique_ptr<AfxDCImpl> m_pImpl;
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
