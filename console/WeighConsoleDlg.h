// The console: the scale wrapper, the gauge and the few flags behind every command of the program.
#pragma once

#include "framework/afxwin.h"
#include "console/WeightGauge.h"
#include "res/resource.h"
#include "scale/Scale.h"

class CWeighConsoleDlg : public CDialog
{
public:
    explicit CWeighConsoleDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_CONSOLE };

    // What a capacity-line refresh appends after the unit.
    enum class NoteRule { None, Always, UntilWeightRead };
    // How a refresh derives the gauge's maximum from the capacity.
    enum class MaxRule { WholeUnits, Thousandths };

    CWeightGauge m_gauge;
    CScale m_scale;
    BOOL m_bLoop;
    HICON m_hIcon;
    bool m_bWeightRead = false; // a weight was read since the last Open or Close
    CString m_strMaxNote;
    CFont m_fontWeight;

    static LPCTSTR UnitText(LONG unit);
    void RefreshCapacityLine(NoteRule note, MaxRule max);
    void StartConsole();

    void ShowResultName(LONG code);
    void ShowResultHex(LONG code);
    void ShowResult(LONG code);

    void OnReadWeight();
    void OnOpenDevice();
    void OnCloseDevice();
    void OnDirectIO();
    void OnTimer(UINT_PTR nIDEvent);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    DECLARE_MESSAGE_MAP()
};
