#include "framework/win32/AfxControlSite.h"

#include "framework/Automation.h"
#include "framework/win32/AfxControlObject.h"

#include <cstring>
#include <string>

namespace {
IStream* memoryStream(std::span<const BYTE> bytes)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!memory)
        return nullptr;
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)))
        GlobalFree(memory);
    return stream;
}
}

void AfxOleInit()
{
    static bool s_done = false;
    if (s_done)
        return;
    s_done = true;
    OleInitialize(nullptr);
    AfxPublishControlClasses();
}

AfxControlSite* AfxControlSite::Create(const char* clsid, std::span<const BYTE> state)
{
    AfxOleInit();
    const std::u16string wide = AfxWideFromText(clsid);
    CLSID id;
    IUnknown* control = nullptr;
    // Controls in a dialog are in-process servers. Asking for a local server as well would, for a
    // class that is not registered, make the system look for one through its RPC service: on
    // Wine that starts the service and holds the program for ten seconds before it may end.
    if (FAILED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(wide.c_str()), &id)) ||
        FAILED(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&control))))
        return nullptr;
    auto* site = new AfxControlSite;
    control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&site->m_pOleObject));
    if (site->m_pOleObject)
        site->m_pOleObject->SetClientSite(site);
    const HRESULT hr = site->Load(control, state);
    control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&site->m_pDispatch));
    control->Release();
    if (FAILED(hr) || !site->m_pDispatch) {
        site->Teardown();
        site->Release();
        return nullptr;
    }
    return site;
}

// A control without IPersistStreamInit keeps no state of the kind; it is hosted all the same.
HRESULT AfxControlSite::Load(IUnknown* pControl, std::span<const BYTE> state)
{
    IPersistStreamInit* persist = nullptr;
    if (FAILED(pControl->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist))))
        return S_OK;
    HRESULT hr = S_OK;
    if (state.empty()) {
        hr = persist->InitNew();
    } else {
        IStream* stream = memoryStream(state);
        hr = stream ? persist->Load(stream) : E_OUTOFMEMORY;
        if (stream)
            stream->Release();
    }
    persist->Release();
    return hr;
}

void AfxControlSite::Teardown()
{
    if (m_pOleObject) {
        m_pOleObject->Close(OLECLOSE_NOSAVE);
        m_pOleObject->SetClientSite(nullptr);
        m_pOleObject->Release();
        m_pOleObject = nullptr;
    }
    if (m_pDispatch) {
        m_pDispatch->Release();
        m_pDispatch = nullptr;
    }
}

STDMETHODIMP AfxControlSite::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IDispatch)
        *ppv = static_cast<IDispatch*>(this);
    else
        return *ppv = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) AfxControlSite::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

STDMETHODIMP AfxControlSite::GetWindow(HWND* phwnd)
{
    *phwnd = m_hWndItem ? ::GetParent(m_hWndItem) : nullptr;
    return *phwnd ? S_OK : E_FAIL;
}

STDMETHODIMP AfxControlSite::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* pResult, EXCEPINFO*, UINT*)
{
    if (dispid != DISPID_AMBIENT_USERMODE)
        return DISP_E_MEMBERNOTFOUND;
    if (pResult) {
        VariantInit(pResult);
        pResult->vt = VT_BOOL;
        pResult->boolVal = VARIANT_TRUE;
    }
    return S_OK;
}
