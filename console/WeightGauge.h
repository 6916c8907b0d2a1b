// The bar gauge beside the weight display: a red column of the last weight against the capacity.
#pragma once

#include "framework/afxwin.h"

class CWeightGauge : public CStatic
{
public:
    // Written directly by the console; the gauge repaints only when it is invalidated.
    double m_dValue = 0.0; // the last weight read, in units
    double m_dMax = 0.0;   // the capacity, in units

protected:
    void OnPaint();
    DECLARE_MESSAGE_MAP()
};
