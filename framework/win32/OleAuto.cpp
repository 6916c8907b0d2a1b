// The automation runtime is the platform's (OLEAUT32); here the conversions of its strings to 8-bit
// text in the process code page, calls on a control's dispatch interface, and the count of live
// strings for leak checks.
#include "framework/Automation.h"

#include <mutex>
#include <unordered_set>
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

namespace {
// Watches the COM task allocator, which the automation runtime allocates its strings from, and
// keeps the blocks allocated since it started and not yet freed.
class CLiveBlockSpy final : public IMallocSpy
{
public:
    long Count()
    {
        std::lock_guard lock(m_mutex);
        return long(m_live.size());
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IMallocSpy) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; } // lives as long as the process
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T cbRequest) override { return cbRequest; }
    STDMETHODIMP_(void*) PostAlloc(void* pActual) override
    {
        std::lock_guard lock(m_mutex);
        if (pActual)
            m_live.insert(pActual);
        return pActual;
    }
    STDMETHODIMP_(void*) PreFree(void* pRequest, BOOL) override
    {
        std::lock_guard lock(m_mutex);
        m_live.erase(pRequest);
        return pRequest;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL) override
    {
        std::lock_guard lock(m_mutex);
        m_realloc = m_live.erase(pRequest) ? pRequest : nullptr;
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    STDMETHODIMP_(void*) PostRealloc(void* pActual, BOOL) override
    {
        std::lock_guard lock(m_mutex);
        if (pActual)
            m_live.insert(pActual);
        else if (m_realloc)
            m_live.insert(m_realloc); // the old block stays when the new one could not be had
        return pActual;
    }
    STDMETHODIMP_(void*) PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    std::mutex m_mutex;
    std::unordered_set<void*> m_live;
    void* m_realloc = nullptr;
};
}

// Counted from the first call on: the string cache is switched off then (a cached string would
// stay allocated after SysFreeString), and a spy on the task allocator keeps the books. Any block
// of task memory counts, so a leak of other automation memory shows as well.
long AfxLiveBstrCount()
{
    static CLiveBlockSpy* const spy = [] {
        using SetOaNoCacheFn = void(WINAPI*)();
        if (const HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll"))
            if (const auto noCache = reinterpret_cast<SetOaNoCacheFn>(
                    reinterpret_cast<void (*)()>(GetProcAddress(oleaut, "SetOaNoCache"))))
                noCache();
        auto* created = new CLiveBlockSpy;
        CoRegisterMallocSpy(created);
        return created;
    }();
    return spy->Count();
}
