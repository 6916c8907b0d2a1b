// The automation runtime is the platform's (OLEAUT32); here the conversions of its strings to 8-bit
// text in the process code page, and calls on a control's dispatch interface.
#include "Automation.h"

#include <utility>
#include <vector>

std::u16string AfxWideFromText(LPCTSTR psz)
{
    if (!psz || !*psz)
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    std::u16string out(std::size_t(n > 0 ? n : 1), u'\0');
    MultiByteToWideChar(CP_ACP, 0, psz, -1, reinterpret_cast<LPWSTR>(out.data()), n);
    out.resize(std::size_t(n > 0 ? n - 1 : 0));
    return out;
}

// 8-bit text ends at the first zero.
CString AfxTextFromWide(const OLECHAR* pch, std::size_t cch)
{
    std::size_t length = 0;
    while (length < cch && pch[length])
        ++length;
    if (length == 0)
        return CString();
    const int n = WideCharToMultiByte(CP_ACP, 0, pch, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, pch, int(length), out.data(), n, nullptr, nullptr);
    return CString(std::move(out));
}

// Arguments go in reverse order; a property's value is the named argument DISPID_PROPERTYPUT.
HRESULT AfxDispatchInvoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                          EXCEPINFO* pExcepInfo)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
    if (wFlags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    UINT argError = 0;
    const HRESULT hr = pDispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, wFlags, &params, pResult, pExcepInfo, &argError);
    if (hr == DISP_E_EXCEPTION && pExcepInfo && pExcepInfo->pfnDeferredFillIn)
        pExcepInfo->pfnDeferredFillIn(pExcepInfo);
    if (pExcepInfo)
        SysFreeString(std::exchange(pExcepInfo->bstrHelpFile, nullptr));
    return hr;
}

// The platform's allocator keeps its own books.
long AfxLiveBstrCount() { return 0; }
