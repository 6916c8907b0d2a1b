#include "console/WeightGauge.h"

BEGIN_MESSAGE_MAP(CWeightGauge, CStatic)
    ON_WM_PAINT()
END_MESSAGE_MAP()

void CWeightGauge::OnPaint()
{
    CPaintDC dc(this);
    CRect rect;
    GetClientRect(rect);

    // The clamp is kept: a value above the maximum is stored as the maximum.
    if (m_dValue > m_dMax)
        m_dValue = m_dMax;

    int y = 0;
    if (m_dMax > 0) {
        double boundary = (m_dMax - m_dValue) / m_dMax * rect.Height();
        // A tiny maximum with a large negative value puts the boundary far below the bottom edge;
        // take it as the bottom before converting so the conversion cannot overflow.
        if (!(boundary <= rect.Height()))
            boundary = rect.Height();
        y = int(boundary);
    }

    dc.FillSolidRect(0, 0, rect.Width(), y, GetSysColor(COLOR_BTNFACE));
    GetClientRect(rect);
    rect.top = y;
    dc.FillSolidRect(rect, dc.GetNearestColor(RGB(255, 0, 0)));
}
