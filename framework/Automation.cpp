#include "framework/Automation.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <vector>

// ---- Strings ------------------------------------------------------------------------------------

BSTR AfxAllocBstrFromText(LPCTSTR psz)
{
    return AfxAllocBstrFromWide(AfxWideFromText(psz));
}

CString AfxTextFromBstr(BSTR bstr)
{
    return bstr ? AfxTextFromWide(bstr, SysStringLen(bstr)) : CString();
}

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "automation strings are UTF-16");

BSTR AfxAllocBstrFromWide(std::u16string_view text)
{
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), UINT(text.size()));
}

std::u16string AfxWideFromBstr(BSTR bstr)
{
    return bstr ? std::u16string(reinterpret_cast<const char16_t*>(bstr), SysStringLen(bstr)) : std::u16string();
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
    const std::string id = normalisedClsid(clsid);
    registry()[id] = std::move(factory);
    AfxControlClassChanged(id, true);
}

void AfxUnregisterControlClass(const char* clsid)
{
    const std::string id = normalisedClsid(clsid);
    if (registry().erase(id))
        AfxControlClassChanged(id, false);
}

std::vector<std::string> AfxControlClassIds()
{
    std::vector<std::string> ids;
    for (const auto& [id, factory] : registry())
        ids.push_back(id);
    return ids;
}

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
    EXCEPINFO info{};
    const HRESULT hr = AfxDispatchInvoke(pDispatch, dispid, wFlags, args, &result, &info);
    const CString description = AfxTextFromBstr(info.bstrDescription), source = AfxTextFromBstr(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    if (FAILED(hr)) {
        VariantClear(&result);
        if (hr == DISP_E_EXCEPTION)
            throw COleDispatchException(description, source, info.wCode, info.scode);
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
