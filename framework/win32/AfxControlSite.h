// Framework-internal: the container's side of one hosted control. Creates the control by class id
// (CoCreateInstance), hands it its persisted state (IPersistStreamInit::Load, else InitNew), gives it
// a client site with ambient properties (USERMODE true) and a minimal in-place site answering with
// the dialog's window, and tears it down (Close without saving, no site, Release).
#pragma once

#include "framework/win32/AfxPlatform.h"

#include <span>

class AfxControlSite : public IOleClientSite, public IOleInPlaceSite, public IDispatch
{
public:
    // The control of that class id with its state; nullptr, with nothing left behind, when the class
    // is unknown, creation fails, the state is refused or the control has no dispatch interface.
    static AfxControlSite* Create(const char* clsid, std::span<const BYTE> state);

    void Attach(HWND hWndItem) { m_hWndItem = hWndItem; }
    void Teardown(); // then Release
    IDispatch* Dispatch() const { return m_pDispatch; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** pp) override { return *pp = nullptr, E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT, LPRECT,
                                  LPOLEINPLACEFRAMEINFO) override
    {
        *ppFrame = nullptr;
        *ppDoc = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IDispatch: the ambient properties.
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override { return *pctinfo = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* pResult, EXCEPINFO*, UINT*) override;

private:
    AfxControlSite() = default;
    virtual ~AfxControlSite() = default;
    HRESULT Load(IUnknown* pControl, std::span<const BYTE> state);

    ULONG m_refs = 1;
    HWND m_hWndItem = nullptr;
    IOleObject* m_pOleObject = nullptr;
    IDispatch* m_pDispatch = nullptr;
};

// COM for the user-interface thread, apartment-threaded, once; the registry's controls published.
void AfxOleInit();
