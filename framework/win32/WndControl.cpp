// CWnd's side of control hosting.
#include "framework/Wnd.h"

#include "framework/win32/AfxControlSite.h"
#include "framework/win32/AfxDialogImpl.h"

// The control is sited in a static item of the parent dialog, made where the caller places it.
BOOL CWnd::CreateControl(REFCLSID clsid, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                         UINT nID)
{
    auto* parent = pParentWnd ? dynamic_cast<AfxDialogImpl*>(pParentWnd->GetImpl()) : nullptr;
    if (m_pImpl || !parent || !parent->m_hWnd || !AfxControlContainerEnabled())
        return FALSE;
    AfxControlSite* site = AfxControlSite::Create(AfxStringFromCLSID(clsid), {});
    if (!site)
        return FALSE;
    const HWND hWnd = CreateWindowEx(0, "STATIC", lpszWindowName ? lpszWindowName : "", (dwStyle & ~SS_TYPEMASK) | WS_CHILD,
                                     rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent->m_hWnd,
                                     reinterpret_cast<HMENU>(UINT_PTR(nID)), GetModuleHandle(nullptr), nullptr);
    if (!hWnd) {
        site->Teardown();
        site->Release();
        return FALSE;
    }
    parent->addControl(hWnd, site);
    AttachImpl(parent->item(int(nID)));
    m_pImpl->subclass(hWnd);
    return TRUE;
}

IDispatch* CWnd::GetControlDispatch() const
{
    return m_pImpl && m_pImpl->m_pSite ? m_pImpl->m_pSite->Dispatch() : nullptr;
}
