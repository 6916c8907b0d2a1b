#include "framework/win32/AfxWindowImpl.h"

#include <map>

namespace {
std::map<HWND, AfxWindowImpl*>& windowMap()
{
    static std::map<HWND, AfxWindowImpl*> s_map;
    return s_map;
}

AfxWindowImpl* g_pCreating = nullptr;

// Messages whose result a dialog procedure returns itself rather than through DWLP_MSGRESULT.
bool returnsDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG: case WM_QUERYDRAGICON: case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}
}

AfxWindowImpl::~AfxWindowImpl()
{
    unbind();
    if (m_pWnd && m_pWnd->GetImpl() == this)
        m_pWnd->DetachImpl();
}

void AfxWindowImpl::bind(HWND hWnd)
{
    m_hWnd = hWnd;
    windowMap()[hWnd] = this;
}

void AfxWindowImpl::subclass(HWND hWnd)
{
    bind(hWnd);
    m_pfnSuper = reinterpret_cast<WNDPROC>(SetWindowLongPtr(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
}

void AfxWindowImpl::unbind()
{
    if (!m_hWnd)
        return;
    if (m_pfnSuper && IsWindow(m_hWnd))
        SetWindowLongPtr(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    auto it = windowMap().find(m_hWnd);
    if (it != windowMap().end() && it->second == this)
        windowMap().erase(it);
    m_hWnd = nullptr;
}

LRESULT AfxWindowImpl::defaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_pfnSuper ? CallWindowProc(m_pfnSuper, m_hWnd, message, wParam, lParam)
                      : ::DefWindowProc(m_hWnd, message, wParam, lParam);
}

AfxWindowImpl* AfxFindWindow(HWND hWnd)
{
    const auto it = windowMap().find(hWnd);
    return it == windowMap().end() ? nullptr : it->second;
}

void AfxHookWindowCreate(AfxWindowImpl* pImpl) { g_pCreating = pImpl; }

AfxWindowImpl* AfxClaimWindow(HWND hWnd)
{
    if (AfxWindowImpl* impl = AfxFindWindow(hWnd))
        return impl;
    AfxWindowImpl* impl = g_pCreating;
    g_pCreating = nullptr;
    if (impl)
        impl->bind(hWnd);
    return impl;
}

void AfxRestartTimer(AfxWindowImpl* pImpl, UINT message, WPARAM wParam)
{
    if (message != WM_TIMER)
        return;
    const auto it = pImpl->m_timers.find(wParam);
    if (it != pImpl->m_timers.end())
        ::SetTimer(pImpl->m_hWnd, it->first, it->second, nullptr);
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AfxWindowImpl* impl = AfxFindWindow(hWnd);
    if (!impl)
        return ::DefWindowProc(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY || !impl->m_pWnd) {
        const WNDPROC super = impl->m_pfnSuper;
        if (message == WM_NCDESTROY)
            impl->unbind();
        return super ? CallWindowProc(super, hWnd, message, wParam, lParam) : ::DefWindowProc(hWnd, message, wParam, lParam);
    }
    AfxRestartTimer(impl, message, wParam);
    return impl->m_pWnd->SendMessage(message, wParam, lParam);
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AfxWindowImpl* impl = AfxClaimWindow(hWnd);
    if (!impl || !impl->m_pWnd)
        return FALSE;
    if (impl->m_bDefaulting) {
        impl->m_bDefaulting = false;
        return FALSE;
    }
    if (message == WM_INITDIALOG)
        return impl->onInitDialog();
    if (message == WM_NCDESTROY) {
        impl->onNcDestroy();
        return FALSE;
    }
    AfxRestartTimer(impl, message, wParam);
    const LRESULT result = impl->m_pWnd->SendMessage(message, wParam, lParam);
    if (returnsDirectly(message))
        return INT_PTR(result);
    SetWindowLongPtr(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
