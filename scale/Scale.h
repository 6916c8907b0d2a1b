// Wrapper of the scale's OPOS control: one late-bound call per operation the console uses.
// It keeps no state of its own and catches nothing, so a failed call reaches the caller.
#pragma once

#include "framework/afxwin.h"

class CScale : public CWnd
{
    DECLARE_DYNCREATE(CScale)
public:
    static const CLSID& GetClsid()
    {
        static const CLSID clsid = {0x83029fa3, 0x4740, 0x11cf, {0x88, 0xf3, 0x02, 0x60, 0x8c, 0xa3, 0xbe, 0x43}};
        return clsid;
    }

    // Creation at run time only; the console's control comes from its template.
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID);

    void SetDeviceEnabled(BOOL bNewValue);
    CString GetDescription();
    LONG GetMaximumWeight();
    LONG GetWeightUnit();

    LONG Open(LPCTSTR DeviceName);
    LONG Close();
    LONG Claim(LONG Timeout);
    LONG Release();
    LONG ClearInput();
    LONG DirectIO(LONG Command, LONG* pData, BSTR* pString);
    LONG ReadWeight(LONG* pWeightData, LONG Timeout);
};
