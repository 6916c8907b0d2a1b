// The automation runtime the program and its controls meet on: wide caller-owned strings, variants,
// the dispatch interface, automation exceptions and a registry of control classes by class id.
#pragma once

#include "AfxTypes.h"
#include "CString.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <type_traits>

// Automation strings: wide, length-prefixed, owned by whoever holds them last. A null BSTR is a
// valid empty string; freeing it does nothing.
using OLECHAR = char16_t;
using BSTR = OLECHAR*;
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
long AfxLiveBstrCount(); // strings allocated and not yet freed, for leak checks in tests

// Conversions between automation strings and 8-bit text in the process's locale encoding.
// Characters with no 8-bit form become '?'; bytes that do not decode become U+FFFD.
BSTR AfxAllocBstrFromText(LPCTSTR psz);
CString AfxTextFromBstr(BSTR bstr);
std::u16string AfxWideFromText(LPCTSTR psz);
CString AfxTextFromWide(const OLECHAR* pch, std::size_t cch);

enum : VARTYPE { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8, VT_BOOL = 11, VT_BYREF = 0x4000 };
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT
{
    VARTYPE vt;
    union {
        LONG lVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        LONG* plVal;
        BSTR* pbstrVal;
    };
};
void VariantInit(VARIANT* pv);
void VariantClear(VARIANT* pv); // frees an owned BSTR and empties the variant

// Parameter-type strings, as in the original: VTS_BSTR VTS_PI4 concatenate to "\x08\x43".
#define VTS_NONE ""
#define VTS_I4 "\x03"
#define VTS_BSTR "\x08"
#define VTS_BOOL "\x0B"
#define VTS_PI4 "\x43"
#define VTS_PBSTR "\x48"

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005);
inline constexpr HRESULT DISP_E_EXCEPTION = HRESULT(0x80020009);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000E);
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

struct EXCEPINFO
{
    WORD wCode = 0;
    std::string source;
    std::string description;
    HRESULT scode = 0;
};

// A control's late-bound interface. Arguments come in declaration order; a by-reference argument
// points at the caller's storage. The result starts as VT_EMPTY; a BSTR put there belongs to the
// caller. A failure returns a failed HRESULT (DISP_E_EXCEPTION with pExcepInfo filled in when the
// control itself raised it).
class IDispatch
{
public:
    virtual ~IDispatch() = default;
    virtual HRESULT Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                           EXCEPINFO* pExcepInfo) = 0;
};

// Exceptions of the framework. Thrown by value, caught by reference.
class CException
{
public:
    virtual ~CException() = default;
    virtual CString GetErrorMessage() const = 0;
};

// The automation layer failed the call (unknown member, wrong argument types, no control).
class COleException : public CException
{
public:
    explicit COleException(HRESULT sc) : m_sc(sc) {}
    CString GetErrorMessage() const override;
    HRESULT m_sc;
};

// The control raised an exception of its own during the call.
class COleDispatchException : public CException
{
public:
    COleDispatchException(CString description, CString source, WORD wCode, HRESULT sc)
        : m_strDescription(std::move(description)), m_strSource(std::move(source)), m_wCode(wCode), m_scError(sc) {}
    CString GetErrorMessage() const override;
    CString m_strDescription;
    CString m_strSource;
    WORD m_wCode;
    HRESULT m_scError;
};

// A control that a dialog template or CWnd::CreateControl can host.
class CHostedControl : public IDispatch
{
public:
    // The persisted state from the template; controls that keep none ignore it.
    virtual void Load(std::span<const BYTE> persisted) { (void)persisted; }
};

using AFX_CONTROL_FACTORY = std::function<std::unique_ptr<CHostedControl>()>;
// Class ids are compared without regard to case, braces included: "{83029FA3-...}".
void AfxRegisterControlClass(const char* clsid, AFX_CONTROL_FACTORY factory); // replaces any earlier one
void AfxUnregisterControlClass(const char* clsid);
std::unique_ptr<CHostedControl> AfxCreateControlInstance(const char* clsid); // nullptr when unknown

struct AFX_CONTROL_REGISTRAR
{
    AFX_CONTROL_REGISTRAR(const char* clsid, AFX_CONTROL_FACTORY factory)
    {
        AfxRegisterControlClass(clsid, std::move(factory));
    }
};

// Control hosting must be enabled before a template with a control can be created.
void AfxEnableControlContainer();
BOOL AfxControlContainerEnabled();
void AfxDisableControlContainer(); // for tests

// ---- Typed late-bound calls -------------------------------------------------------------------
// The parameter string and the result type are checked against the C++ argument types when the
// program is compiled: a mismatch does not compile.

namespace afx_detail {
template <class T> struct ArgKind { static constexpr bool known = false; };
template <> struct ArgKind<LONG> { static constexpr bool known = true; static constexpr bool accepts(BYTE vts) { return vts == VT_I4 || vts == VT_BOOL; } };
template <> struct ArgKind<const char*> { static constexpr bool known = true; static constexpr bool accepts(BYTE vts) { return vts == VT_BSTR; } };
template <> struct ArgKind<char*> : ArgKind<const char*> {};
template <> struct ArgKind<LONG*> { static constexpr bool known = true; static constexpr bool accepts(BYTE vts) { return vts == (0x40 | VT_I4); } };
template <> struct ArgKind<BSTR*> { static constexpr bool known = true; static constexpr bool accepts(BYTE vts) { return vts == (0x40 | VT_BSTR); } };

template <class T> struct ResultKind { static constexpr bool accepts(VARTYPE) { return false; } };
template <> struct ResultKind<LONG> { static constexpr bool accepts(VARTYPE vt) { return vt == VT_I4 || vt == VT_BOOL; } };
template <> struct ResultKind<CString> { static constexpr bool accepts(VARTYPE vt) { return vt == VT_BSTR; } };

void parameterTypesDoNotMatchArguments(); // never defined: calling it in a constant expression fails to compile
void resultTypeDoesNotMatch();

template <class... Args>
struct CheckedParams
{
    const char* info;
    consteval CheckedParams(const char* s) : info(s)
    {
        std::size_t n = 0;
        while (s[n] != '\0')
            ++n;
        if (n != sizeof...(Args))
            parameterTypesDoNotMatchArguments();
        std::size_t i = 0;
        bool ok = true;
        ((ok = ok && ArgKind<std::remove_cv_t<Args>>::accepts(BYTE(s[i++]))), ...);
        if (!ok)
            parameterTypesDoNotMatchArguments();
    }
};

template <class R>
struct CheckedVt
{
    VARTYPE vt;
    consteval CheckedVt(VARTYPE v) : vt(v)
    {
        if (!ResultKind<std::remove_cv_t<R>>::accepts(v))
            resultTypeDoesNotMatch();
    }
};

// Holds the variants of one call and frees the strings the call allocated.
class ArgList
{
public:
    explicit ArgList(std::size_t n);
    ~ArgList();
    ArgList(const ArgList&) = delete;
    ArgList& operator=(const ArgList&) = delete;
    void set(std::size_t i, BYTE vts, LONG v);
    void set(std::size_t i, BYTE vts, const char* psz);
    void set(std::size_t i, BYTE vts, LONG* p);
    void set(std::size_t i, BYTE vts, BSTR* p);
    std::span<VARIANT> span();

private:
    std::unique_ptr<VARIANT[]> m_args;
    std::size_t m_count;
};

// Calls Invoke and throws COleException or COleDispatchException on failure. Takes ownership of
// whatever the result holds and converts it into *pvRet (nullptr: the result is discarded).
void invoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARTYPE vtRet, LONG* pvRet);
void invoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARTYPE vtRet, CString* pvRet);
void invoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args);
}

template <class R, class... Args>
void AfxInvokeHelper(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags,
                     afx_detail::CheckedVt<std::type_identity_t<R>> vtRet, R* pvRet,
                     afx_detail::CheckedParams<std::type_identity_t<Args>...> pbParamInfo, Args... args)
{
    afx_detail::ArgList list(sizeof...(Args));
    [[maybe_unused]] const char* info = pbParamInfo.info;
    [[maybe_unused]] std::size_t i = 0;
    ((list.set(i, BYTE(info[i]), args), ++i), ...);
    afx_detail::invoke(pDispatch, dwDispID, wFlags, list.span(), vtRet.vt, pvRet);
}

template <class... Args>
void AfxInvokeHelper(IDispatch* pDispatch, DISPID dwDispID, WORD wFlags, VARTYPE /*VT_EMPTY*/, std::nullptr_t,
                     afx_detail::CheckedParams<std::type_identity_t<Args>...> pbParamInfo, Args... args)
{
    afx_detail::ArgList list(sizeof...(Args));
    [[maybe_unused]] const char* info = pbParamInfo.info;
    [[maybe_unused]] std::size_t i = 0;
    ((list.set(i, BYTE(info[i]), args), ++i), ...);
    afx_detail::invoke(pDispatch, dwDispID, wFlags, list.span());
}

template <class T>
void AfxGetProperty(IDispatch* pDispatch, DISPID dwDispID, afx_detail::CheckedVt<std::type_identity_t<T>> vtProp, T* pvProp)
{
    afx_detail::invoke(pDispatch, dwDispID, DISPATCH_PROPERTYGET, {}, vtProp.vt, pvProp);
}

// Sets a property; a BOOL sent as VT_BOOL goes out as the automation boolean (TRUE as VARIANT_TRUE).
template <class T>
void AfxSetProperty(IDispatch* pDispatch, DISPID dwDispID, afx_detail::CheckedVt<std::type_identity_t<T>> vtProp, T value)
{
    afx_detail::ArgList list(1);
    list.set(0, BYTE(vtProp.vt), value);
    afx_detail::invoke(pDispatch, dwDispID, DISPATCH_PROPERTYPUT, list.span());
}

// A class identifier; its text form is the braced, upper-case one the registry uses.
struct CLSID
{
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using REFCLSID = const CLSID&;
CString AfxStringFromCLSID(REFCLSID clsid);
