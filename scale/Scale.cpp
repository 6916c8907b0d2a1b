#include "scale/Scale.h"

IMPLEMENT_DYNCREATE(CScale, CWnd)

BOOL CScale::Create(LPCTSTR, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CreateControl(GetClsid(), lpszWindowName, dwStyle, rect, pParentWnd, nID);
}

void CScale::SetDeviceEnabled(BOOL bNewValue)
{
    SetProperty(0x3, VT_BOOL, bNewValue);
}

CString CScale::GetDescription()
{
    CString result;
    GetProperty(0xa, VT_BSTR, &result);
    return result;
}

LONG CScale::GetMaximumWeight()
{
    LONG result = 0;
    GetProperty(0xf, VT_I4, &result);
    return result;
}

LONG CScale::GetWeightUnit()
{
    LONG result = 0;
    GetProperty(0x12, VT_I4, &result);
    return result;
}

LONG CScale::Open(LPCTSTR DeviceName)
{
    LONG result = 0;
    InvokeHelper(0x13, DISPATCH_METHOD, VT_I4, &result, VTS_BSTR, DeviceName);
    return result;
}

LONG CScale::Close()
{
    LONG result = 0;
    InvokeHelper(0x14, DISPATCH_METHOD, VT_I4, &result, VTS_NONE);
    return result;
}

LONG CScale::Claim(LONG Timeout)
{
    LONG result = 0;
    InvokeHelper(0x15, DISPATCH_METHOD, VT_I4, &result, VTS_I4, Timeout);
    return result;
}

LONG CScale::Release()
{
    LONG result = 0;
    InvokeHelper(0x16, DISPATCH_METHOD, VT_I4, &result, VTS_NONE);
    return result;
}

LONG CScale::ClearInput()
{
    LONG result = 0;
    InvokeHelper(0x18, DISPATCH_METHOD, VT_I4, &result, VTS_NONE);
    return result;
}

LONG CScale::DirectIO(LONG Command, LONG* pData, BSTR* pString)
{
    LONG result = 0;
    InvokeHelper(0x19, DISPATCH_METHOD, VT_I4, &result, VTS_I4 VTS_PI4 VTS_PBSTR, Command, pData, pString);
    return result;
}

LONG CScale::ReadWeight(LONG* pWeightData, LONG Timeout)
{
    LONG result = 0;
    InvokeHelper(0x1a, DISPATCH_METHOD, VT_I4, &result, VTS_PI4 VTS_I4, pWeightData, Timeout);
    return result;
}
