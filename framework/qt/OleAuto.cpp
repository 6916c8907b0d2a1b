// The automation runtime as this backend provides it: strings, variants and their conversions to
// 8-bit text in the process's locale encoding, and calls on a hosted control.
#include "framework/Automation.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

// ---- Strings ------------------------------------------------------------------------------------

namespace {
std::atomic<long> g_liveBstrs{0};

// A BSTR points just past a 32-bit byte count; the characters end with a terminating zero.
struct BstrHeader
{
    std::uint32_t bytes;
};
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch)
{
    void* block = std::malloc(sizeof(BstrHeader) + (std::size_t(cch) + 1) * sizeof(OLECHAR));
    if (!block)
        return nullptr;
    auto* header = static_cast<BstrHeader*>(block);
    header->bytes = std::uint32_t(cch * sizeof(OLECHAR));
    BSTR text = reinterpret_cast<BSTR>(header + 1);
    if (pch)
        std::memcpy(text, pch, cch * sizeof(OLECHAR));
    else
        std::fill_n(text, cch, OLECHAR(0));
    text[cch] = 0;
    ++g_liveBstrs;
    return text;
}

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    UINT n = 0;
    while (psz[n])
        ++n;
    return SysAllocStringLen(psz, n);
}

void SysFreeString(BSTR bstr)
{
    if (!bstr)
        return;
    --g_liveBstrs;
    std::free(reinterpret_cast<BstrHeader*>(bstr) - 1);
}

UINT SysStringLen(BSTR bstr)
{
    return bstr ? UINT((reinterpret_cast<BstrHeader*>(bstr) - 1)->bytes / sizeof(OLECHAR)) : 0;
}

long AfxLiveBstrCount() { return g_liveBstrs.load(); }

std::u16string AfxWideFromText(LPCTSTR psz)
{
    std::u16string out;
    if (!psz)
        return out;
    std::mbstate_t state{};
    const char* p = psz;
    std::size_t left = std::strlen(psz);
    while (left > 0) {
        wchar_t wc = 0;
        std::size_t n = std::mbrtowc(&wc, p, left, &state);
        if (n == std::size_t(-1) || n == std::size_t(-2)) {
            out += u'\xFFFD';
            state = {};
            n = 1;
        } else if (n == 0) {
            break;
        } else {
            char32_t c = char32_t(wc);
            if (c >= 0x10000 && c <= 0x10FFFF) {
                c -= 0x10000;
                out += char16_t(0xD800 + (c >> 10));
                out += char16_t(0xDC00 + (c & 0x3FF));
            } else {
                out += (c > 0xFFFF) ? u'\xFFFD' : char16_t(c);
            }
        }
        p += n;
        left -= n;
    }
    return out;
}

CString AfxTextFromWide(const OLECHAR* pch, std::size_t cch)
{
    std::string out;
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (std::size_t i = 0; i < cch; ++i) {
        char32_t c = pch[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < cch && pch[i + 1] >= 0xDC00 && pch[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (pch[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
            continue;
        }
        if (c == 0)
            break; // 8-bit text ends at the first zero
        const std::size_t n = std::wcrtomb(buf, wchar_t(c), &state);
        if (n == std::size_t(-1)) {
            out += '?';
            state = {};
        } else {
            out.append(buf, n);
        }
    }
    return CString(std::move(out));
}

// ---- Variants -----------------------------------------------------------------------------------

void VariantInit(VARIANT* pv)
{
    pv->vt = VT_EMPTY;
    pv->lVal = 0;
}

HRESULT VariantClear(VARIANT* pv)
{
    if (pv->vt == VT_BSTR)
        SysFreeString(pv->bstrVal);
    VariantInit(pv);
    return S_OK;
}

// ---- Calls --------------------------------------------------------------------------------------

HRESULT AfxDispatchInvoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                          EXCEPINFO* pExcepInfo)
{
    return pDispatch->Invoke(dispid, wFlags, args, pResult, pExcepInfo);
}
