// The automation runtime the program and its controls meet on: wide caller-owned strings, variants,
// the dispatch interface, automation exceptions and a registry of control classes by class id.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/CString.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

long AfxLiveBstrCount(); // strings allocated and not yet freed, for leak checks in tests

// Conversions between automation strings and 8-bit text in the process's locale encoding.
// Characters with no 8-bit form become '?'; bytes that do not decode become U+FFFD.
BSTR AfxAllocBstrFromText(LPCTSTR psz);
CString AfxTextFromBstr(BSTR bstr);
std::u16string AfxWideFromText(LPCTSTR psz);
CString AfxTextFromWide(const OLECHAR* pch, std::size_t cch);
// Automation strings from and to the UTF-16 text the controls work with.
BSTR AfxAllocBstrFromWide(std::u16string_view text);
std::u16string AfxWideFromBstr(BSTR bstr); // a null BSTR is empty text

// Parameter-type strings, as in the original: VTS_BSTR VTS_PI4 concatenate to "\x08\x43".
#define VTS_NONE ""
#define VTS_I4 "\x03"
#define VTS_BSTR "\x08"
#define VTS_BOOL "\x0B"
#define VTS_PI4 "\x43"
#define VTS_PBSTR "\x48"

// A call on a control's dispatch interface with the arguments in declaration order. Fills the
// result (a BSTR there belongs to the caller) and, for DISP_E_EXCEPTION, *pExcepInfo.
HRESULT AfxDispatchInvoke(IDispatch* pDispatch, DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                          EXCEPINFO* pExcepInfo);

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

// A control that a dialog template or CWnd::CreateControl can host: its late-bound interface with
// the arguments in declaration order (a by-reference argument points at the caller's storage), and
// its persisted state. The result starts as VT_EMPTY; a BSTR put there belongs to the caller. A
// failure returns a failed HRESULT (DISP_E_EXCEPTION with *pExcepInfo filled in, its strings the
// caller's, when the control itself raised it; DISP_E_TYPEMISMATCH with the argument's index in
// declaration order in *puArgErr, when the caller asks for it).
class CHostedControl
{
public:
    virtual ~CHostedControl() = default;
    virtual HRESULT Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                           EXCEPINFO* pExcepInfo, UINT* puArgErr = nullptr) = 0;
    // The dispatch id of a member named for late binding by name; -1 (DISPID_UNKNOWN) when none is.
    virtual DISPID GetDispID(std::u16string_view name) const { (void)name; return -1; }
    // The persisted state from the template; controls that keep none ignore it.
    virtual void Load(std::span<const BYTE> persisted) { (void)persisted; }
};

using AFX_CONTROL_FACTORY = std::function<std::unique_ptr<CHostedControl>()>;
// Class ids are compared without regard to case, braces included: "{83029FA3-...}".
void AfxRegisterControlClass(const char* clsid, AFX_CONTROL_FACTORY factory); // replaces any earlier one
void AfxUnregisterControlClass(const char* clsid);
std::unique_ptr<CHostedControl> AfxCreateControlInstance(const char* clsid); // nullptr when unknown
// Framework-internal: the registered class ids, and the backend's hook for every change (the Win32
// backend publishes a class object for each class, so that hosting goes through CoCreateInstance).
std::vector<std::string> AfxControlClassIds();
void AfxControlClassChanged(const std::string& clsid, bool registered);

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
// Where a BOOL is not a LONG (Windows: int and long), it passes as one.
template <class T> requires(std::is_same_v<T, BOOL> && !std::is_same_v<BOOL, LONG>) struct ArgKind<T> : ArgKind<LONG> {};
template <class T> requires(std::is_same_v<T, BOOL> && !std::is_same_v<BOOL, LONG>) struct ResultKind<T> : ResultKind<LONG> {};
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

// The text form of a class identifier: the braced, upper-case one the registry uses.
CString AfxStringFromCLSID(REFCLSID clsid);
