#include "console/WeighConsoleDlg.h"

CWeighConsoleDlg::CWeighConsoleDlg(CWnd* pParent) : CDialog(CWeighConsoleDlg::IDD, pParent)
{
    m_bLoop = FALSE;
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

LPCTSTR CWeighConsoleDlg::UnitText(LONG unit)
{
    switch (unit) {
    case 1: return "g";
    case 2: return "Kg";
    case 3: return "oz";
    case 4: return "lb";
    default: return "?";
    }
}

// Rewrites the capacity line and the gauge's maximum from three fresh property reads. The gauge
// is not invalidated: a new maximum shows at its next repaint.
void CWeighConsoleDlg::RefreshCapacityLine(NoteRule note, MaxRule max)
{
    CString line;
    line.Format("Max Weight %d ", m_scale.GetMaximumWeight() / 1000);

    const LONG capacity = m_scale.GetMaximumWeight();
    m_gauge.m_dMax = (max == MaxRule::WholeUnits) ? double(capacity / 1000) : capacity * 0.001;

    line += UnitText(m_scale.GetWeightUnit());

    if (note == NoteRule::Always || (note == NoteRule::UntilWeightRead && !m_bWeightRead))
        line += m_strMaxNote;

    SetDlgItemText(IDC_CAPACITY, line);
}

// Runs once the window is up. A failed call leaves the rest undone, so no timer runs then.
void CWeighConsoleDlg::StartConsole()
{
    RefreshCapacityLine(NoteRule::None, MaxRule::WholeUnits);
    SetTimer(1, 1000, nullptr);
    m_bWeightRead = false;
}
