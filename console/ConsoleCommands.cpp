// The console's commands: the result box, Read Weight with the Loop timer, Open, Close, Direct IO.
#include "console/WeighConsoleDlg.h"

namespace {
const char kReadNote[] = " (Detault value:right value with a successfull read)";
const char kDeviceName[] = "K350";
const LONG kTimeoutMs = 1000;
}

void CWeighConsoleDlg::ShowResultName(LONG code)
{
    static const char* const kNames[] = {
        "OPOS_E_CLOSED",  "OPOS_E_CLAIMED", "OPOS_E_NOTCLAIMED", "OPOS_E_NO_SERVICE", "OPOS_E_DISABLED",
        "OPOS_E_ILLEGAL", "OPOS_E_NOHARDWARE", "OPOS_E_OFFLINE", "OPOS_E_NOEXIST",    "OPOS_E_EXISTS",
        "OPOS_E_FAILURE", "OPOS_E_TIMEOUT", "OPOS_E_BUSY",       "OPOS_E_EXTENDED",
    };
    LPCTSTR name = "OPOS_E_??????";
    if (code == 0)
        name = "OPOS_SUCCESS";
    else if (code >= 101 && code <= 114)
        name = kNames[code - 101];
    SetDlgItemText(IDC_RESULT_NAME, name);
}

void CWeighConsoleDlg::ShowResultHex(LONG code)
{
    CString text;
    text.Format("%08x", static_cast<unsigned int>(code));
    SetDlgItemText(IDC_RESULT_HEX, text);
}

void CWeighConsoleDlg::ShowResult(LONG code)
{
    ShowResultName(code);
    ShowResultHex(code);
}

void CWeighConsoleDlg::OnReadWeight()
{
    m_scale.ClearInput();
    LONG weight = 0;
    const LONG result = m_scale.ReadWeight(&weight, kTimeoutMs);
    ShowResult(result);
    if (result == 0) {
        m_bWeightRead = true;
        // A double holds every 32-bit count times 0.001 closely enough that three decimals
        // give the count's own digits.
        CString text;
        text.Format("%.03f", weight * 0.001);
        SetDlgItemText(IDC_WEIGHT, text);
        m_gauge.m_dValue = weight * 0.001;
        m_gauge.InvalidateRect(nullptr, TRUE);
        m_strMaxNote = "";
    } else {
        m_strMaxNote = kReadNote;
    }
    RefreshCapacityLine(NoteRule::UntilWeightRead, MaxRule::Thousandths);
}

void CWeighConsoleDlg::OnTimer(UINT_PTR)
{
    UpdateData(TRUE);
    if (m_bLoop)
        OnReadWeight();
    Default();
}

void CWeighConsoleDlg::OnOpenDevice()
{
    const LONG result = m_scale.Open(kDeviceName);
    m_bWeightRead = false;
    ShowResult(result);
    if (result != 0) {
        CString code;
        code.Format("(%08x)", static_cast<unsigned int>(result));
        SetDlgItemText(IDC_STATUS, m_scale.GetDescription() + code);
        SetDlgItemText(IDC_CAPACITY, "?");
        return;
    }

    const LONG claim = m_scale.Claim(kTimeoutMs);
    m_scale.SetDeviceEnabled(TRUE);
    if (claim == 0) {
        OnReadWeight();
    } else {
        CString text;
        text.Format("Claim Failed : %08x", static_cast<unsigned int>(claim));
        SetDlgItemText(IDC_WEIGHT, text);
    }
    SetDlgItemText(IDC_STATUS, m_scale.GetDescription());
    RefreshCapacityLine(NoteRule::Always, MaxRule::Thousandths);
}

void CWeighConsoleDlg::OnCloseDevice()
{
    m_bWeightRead = false;
    m_scale.ClearInput();
    LONG result = m_scale.Release();
    if (result != 0) {
        ShowResult(result);
        return;
    }
    result = m_scale.Close();
    ShowResult(result);
    SetDlgItemText(IDC_STATUS, "");
    RefreshCapacityLine(NoteRule::None, MaxRule::Thousandths);
    SetDlgItemText(IDC_WEIGHT, "...");
}

void CWeighConsoleDlg::OnDirectIO()
{
    const LONG command = static_cast<LONG>(GetDlgItemInt(IDC_DIO_COMMAND, nullptr, TRUE));
    LONG data = 0;
    BSTR string = nullptr;
    const LONG result = m_scale.DirectIO(command, &data, &string);
    if (result != 0) {
        SysFreeString(string);
        return;
    }
    if (command == 4) {
        CString line;
        line.Format("%d", data);
        line += AfxTextFromBstr(string);
        if (data == 0)
            line += " Invalid Weight";
        else if (data == 21 || data == 24)
            line += " Weight Not Changed";
        SetDlgItemText(IDC_DIO_RESULT, line);
    }
    SysFreeString(string);
}
