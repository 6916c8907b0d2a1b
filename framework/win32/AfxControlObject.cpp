#include "framework/win32/AfxControlObject.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace {
bool g_published = false;
// Live class objects and control objects, and server locks.
std::atomic<long> g_inUse = 0;

// IUnknown for an object with one or more interfaces; the last Release deletes it.
template <class Derived>
class RefCounted
{
public:
    ULONG addRef() { return ++m_refs; }
    ULONG release()
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete static_cast<Derived*>(this);
        return refs;
    }

private:
    ULONG m_refs = 1;
};

class ControlObject final : public IDispatch, public IPersistStreamInit, public IOleObject, public RefCounted<ControlObject>
{
public:
    ControlObject(CLSID clsid, std::unique_ptr<CHostedControl> control) : m_clsid(clsid), m_control(std::move(control))
    {
        ++g_inUse;
    }
    ~ControlObject()
    {
        SetClientSite(nullptr);
        --g_inUse;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IPersistStreamInit || riid == IID_IPersist)
            *ppv = static_cast<IPersistStreamInit*>(this);
        else if (riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        addRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
    STDMETHODIMP_(ULONG) Release() override { return release(); }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override { return *pctinfo = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            // Plain zero-terminated strings, not BSTRs: no length before them.
            ids[i] = m_control->GetDispID(reinterpret_cast<const char16_t*>(names[i]));
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD wFlags, DISPPARAMS* params, VARIANT* pResult,
                        EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* pClsid) override { return *pClsid = m_clsid, S_OK; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM pStream) override;
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pSize) override { return pSize->QuadPart = 0, S_OK; }
    STDMETHODIMP InitNew() override { return S_OK; }

    // IOleObject: what a container asks of a control that shows nothing at run time.
    STDMETHODIMP SetClientSite(IOleClientSite* pSite) override
    {
        if (pSite)
            pSite->AddRef();
        if (m_site)
            m_site->Release();
        m_site = pSite;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** ppSite) override
    {
        if (m_site)
            m_site->AddRef();
        return *ppSite = m_site, S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override { return S_OK; }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* pClsid) override { return *pClsid = m_clsid, S_OK; }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP Unadvise(DWORD) override { return OLE_E_NOCONNECTION; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* pStatus) override
    {
        return *pStatus = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST, S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

private:
    CLSID m_clsid;
    std::unique_ptr<CHostedControl> m_control;
    IOleClientSite* m_site = nullptr;
};

// The control takes its arguments in declaration order: the reverse of DISPPARAMS'. A property put
// carries its value as the one named argument, DISPID_PROPERTYPUT. A mismatched argument is
// reported by its index in DISPPARAMS.
STDMETHODIMP ControlObject::Invoke(DISPID dispid, REFIID, LCID, WORD wFlags, DISPPARAMS* params, VARIANT* pResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    const UINT count = params ? params->cArgs : 0;
    if (params && params->cNamedArgs > 0 &&
        !((wFlags & DISPATCH_PROPERTYPUT) && params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT))
        return DISP_E_NONAMEDARGS;
    std::vector<VARIANT> args(count);
    for (UINT i = 0; i < count; ++i)
        args[i] = params->rgvarg[count - 1 - i];
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    UINT argErr = 0;
    HRESULT hr = E_FAIL;
    try {
        hr = m_control->Invoke(dispid, wFlags, args, &result, &info, &argErr);
    } catch (...) {
        hr = E_FAIL;
    }
    if (puArgErr && hr == DISP_E_TYPEMISMATCH && argErr < count)
        *puArgErr = count - 1 - argErr;
    if (pResult && SUCCEEDED(hr))
        *pResult = result;
    else
        VariantClear(&result);
    if (pExcepInfo && hr == DISP_E_EXCEPTION)
        *pExcepInfo = info;
    else {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    return hr;
}

STDMETHODIMP ControlObject::Load(LPSTREAM pStream)
{
    std::vector<BYTE> state;
    BYTE buffer[256];
    ULONG read = 0;
    while (SUCCEEDED(pStream->Read(buffer, sizeof buffer, &read)) && read > 0)
        state.insert(state.end(), buffer, buffer + read);
    try {
        m_control->Load(state);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

class ClassObject final : public IClassFactory, public RefCounted<ClassObject>
{
public:
    ClassObject(CLSID clsid, AFX_CONTROL_FACTORY factory) : m_clsid(clsid), m_factory(std::move(factory)) { ++g_inUse; }
    ~ClassObject() { --g_inUse; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        addRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return addRef(); }
    STDMETHODIMP_(ULONG) Release() override { return release(); }

    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        std::unique_ptr<CHostedControl> control;
        try {
            control = m_factory();
        } catch (...) {
        }
        if (!control)
            return E_FAIL;
        auto* object = new ControlObject(m_clsid, std::move(control));
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? ++g_inUse : --g_inUse;
        return S_OK;
    }

private:
    CLSID m_clsid;
    AFX_CONTROL_FACTORY m_factory;
};

std::map<std::string, DWORD>& cookies()
{
    static std::map<std::string, DWORD> s_cookies;
    return s_cookies;
}

void publish(const std::string& id)
{
    const std::u16string wide = AfxWideFromText(id.c_str());
    CLSID clsid;
    if (FAILED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(wide.c_str()), &clsid)))
        return;
    auto* factory = new ClassObject(clsid, [id] { return AfxCreateControlInstance(id.c_str()); });
    DWORD cookie = 0;
    if (SUCCEEDED(CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
        cookies()[id] = cookie;
    factory->Release();
}

void revoke(const std::string& id)
{
    const auto it = cookies().find(id);
    if (it == cookies().end())
        return;
    CoRevokeClassObject(it->second);
    cookies().erase(it);
}
}

void AfxPublishControlClasses()
{
    if (g_published)
        return;
    g_published = true;
    for (const std::string& id : AfxControlClassIds())
        publish(id);
}

// A replaced factory needs no new class object: the class object asks the registry each time.
void AfxControlClassChanged(const std::string& clsid, bool registered)
{
    if (!g_published)
        return;
    if (!registered)
        revoke(clsid);
    else if (!cookies().count(clsid))
        publish(clsid);
}

HRESULT AfxGetControlClassObject(REFCLSID clsid, AFX_CONTROL_FACTORY factory, REFIID riid, void** ppv)
{
    auto* object = new ClassObject(clsid, std::move(factory));
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

bool AfxControlServerInUse() { return g_inUse > 0; }
