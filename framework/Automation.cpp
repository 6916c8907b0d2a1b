#include "Automation.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>

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

BSTR AfxAllocBstrFromText(LPCTSTR psz)
{
    const std::u16string wide = AfxWideFromText(psz);
    return SysAllocStringLen(wide.data(), UINT(wide.size()));
}

CString AfxTextFromBstr(BSTR bstr)
{
    return bstr ? AfxTextFromWide(bstr, SysStringLen(bstr)) : CString();
}

// ---- Variants -----------------------------------------------------------------------------------

void VariantInit(VARIANT* pv)
{
    pv->vt = VT_EMPTY;
    pv->lVal = 0;
}

void VariantClear(VARIANT* pv)
{
    if (pv->vt == VT_BSTR)
        SysFreeString(pv->bstrVal);
    VariantInit(pv);
}

// ---- Exceptions ---------------------------------------------------------------------------------

CString COleException::GetErrorMessage() const
{
    CString text;
    switch (m_sc) {
    case DISP_E_MEMBERNOTFOUND: text = "The control has no such member."; break;
    case DISP_E_TYPEMISMATCH: text = "The control rejected the type of an argument."; break;
    case DISP_E_BADPARAMCOUNT: text = "The control was called with the wrong number of arguments."; break;
    case E_UNEXPECTED: text = "There is no control to call."; break;
    default: text = "The automation call failed."; break;
    }
    CString code;
    code.Format(" (error %08x)", unsigned(m_sc));
    return text + code;
}

CString COleDispatchException::GetErrorMessage() const
{
    CString text = m_strDescription.IsEmpty() ? CString("The control raised an exception.") : m_strDescription;
    if (!m_strSource.IsEmpty())
        text = m_strSource + ": " + text;
    return text;
}

// ---- Control registry ---------------------------------------------------------------------------

namespace {
std::string normalisedClsid(const char* clsid)
{
    std::string s = clsid ? clsid : "";
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

std::map<std::string, AFX_CONTROL_FACTORY>& registry()
{
    static std::map<std::string, AFX_CONTROL_FACTORY> s_registry;
    return s_registry;
}

bool g_containerEnabled = false;
}

void AfxRegisterControlClass(const char* clsid, AFX_CONTROL_FACTORY factory)
{
    registry()[normalisedClsid(clsid)] = std::move(factory);
}

void AfxUnregisterControlClass(const char* clsid) { registry().erase(normalisedClsid(clsid)); }

std::unique_ptr<CHostedControl> AfxCreateControlInstance(const char* clsid)
{
    auto it = registry().find(normalisedClsid(clsid));
    return it == registry().end() || !it->second ? nullptr : it->second();
}

void AfxEnableControlContainer() { g_containerEnabled = true; }
BOOL AfxControlContainerEnabled() { return g_containerEnabled; }
void AfxDisableControlContainer() { g_containerEnabled = false; }

// ---- Typed calls --------------------------------------------------------------------------------

namespace afx_detail {

ArgList::ArgList(std::size_t n) : m_args(new VARIANT[n ? n : 1]), m_count(n)
{
    for (std::size_t i = 0; i < n; ++i)
        VariantInit(&m_args[i]);
}

ArgList::~ArgList()
{
    for (std::size_t i = 0; i < m_count; ++i)
        VariantClear(&m_args[i]);
}

void ArgList::set(std::size_t i, BYTE vts, LONG v)
{
    if (vts == VT_BOOL) {
        m_args[i].vt = VT_BOOL;
        m_args[i].boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        m_args[i].vt = VT_I4;
        m_args[i].lVal = v;
    }
}

void ArgList::set(std::size_t i, BYTE, const char* psz)
{
    m_args[i].vt = VT_BSTR;
    m_args[i].bstrVal = AfxAllocBstrFromText(psz);
}

void ArgList::set(std::size_t i, BYTE, LONG* p)
{
    m_args[i].vt = VT_I4 | VT_BYREF;
    m_args[i].plVal = p;
}

void ArgList::set(std::size_t i, BYTE, BSTR* p)
{
    m_args[i].vt = VT_BSTR | VT_BYREF;
    m_args[i].pbstrVal = p;
}

std::span<VARIANT> ArgList::span() { return {m_args.get(), m_count}; }

namespace {
// Runs the call; returns the result variant, which the caller must clear.
VARIANT call(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args)
{
    if (!pDispatch)
        throw COleException(E_UNEXPECTED);
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info;
    const HRESULT hr = pDispatch->Invoke(dispid, wFlags, args, &result, &info);
    if (FAILED(hr)) {
        VariantClear(&result);
        if (hr == DISP_E_EXCEPTION)
            throw COleDispatchException(CString(info.description), CString(info.source), info.wCode,
                                        info.scode);
        throw COleException(hr);
    }
    return result;
}

struct ResultGuard
{
    VARIANT v;
    ~ResultGuard() { VariantClear(&v); }
};
}

void invoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARTYPE vtRet, LONG* pvRet)
{
    ResultGuard r{call(pDispatch, dispid, wFlags, args)};
    if (r.v.vt == VT_I4 && vtRet == VT_I4)
        *pvRet = r.v.lVal;
    else if (r.v.vt == VT_BOOL && vtRet == VT_BOOL)
        *pvRet = r.v.boolVal ? TRUE : FALSE;
    else
        throw COleException(DISP_E_TYPEMISMATCH);
}

void invoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARTYPE, CString* pvRet)
{
    ResultGuard r{call(pDispatch, dispid, wFlags, args)};
    if (r.v.vt != VT_BSTR)
        throw COleException(DISP_E_TYPEMISMATCH);
    *pvRet = AfxTextFromBstr(r.v.bstrVal);
}

void invoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args)
{
    ResultGuard r{call(pDispatch, dispid, wFlags, args)};
}

}

CString AfxStringFromCLSID(REFCLSID clsid)
{
    CString s;
    s.Format("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(clsid.Data1), unsigned(clsid.Data2),
             unsigned(clsid.Data3), clsid.Data4[0], clsid.Data4[1], clsid.Data4[2], clsid.Data4[3], clsid.Data4[4],
             clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
    return s;
}
