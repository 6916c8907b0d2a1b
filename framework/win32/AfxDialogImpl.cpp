#include "framework/win32/AfxDialogImpl.h"

#include "framework/private/AfxReports.h"
#include "framework/win32/AfxControlSite.h"
#include "framework/win32/AfxDialogTemplate.h"
#include "framework/win32/AfxMessageLoop.h"
#include "framework/WinApp.h"

#include <algorithm>
#include <cstdlib>

std::unique_ptr<AfxDialogImpl> AfxDialogImpl::create(CDialog& dlg, std::function<void()> script)
{
    const AFX_DLGTEMPLATE* tpl = AfxFindDialogTemplate(dlg.GetTemplateID());
    if (!tpl)
        return nullptr;
    std::unique_ptr<AfxDialogImpl> impl(new AfxDialogImpl(dlg, *tpl));
    impl->m_script = std::move(script);
    for (const AFX_DLGITEMTEMPLATE& item : tpl->items) {
        if (!AfxIsControlClass(item.windowClass))
            continue;
        AfxControlSite* site = AfxControlContainerEnabled() ? AfxControlSite::Create(item.windowClass, item.initData) : nullptr;
        if (!site)
            return nullptr;
        impl->m_pendingSites.emplace_back(item.id, site);
    }
    dlg.AttachImpl(impl.get());
    impl->m_hWndOwner = impl->ownerWindow();
    const std::vector<WORD> bytes = AfxBuildDialogTemplate(*tpl);
    AfxHookWindowCreate(impl.get());
    const HWND hWnd = CreateDialogIndirectParam(GetModuleHandle(nullptr), reinterpret_cast<LPCDLGTEMPLATE>(bytes.data()),
                                                impl->m_hWndOwner, &AfxDlgProc, 0);
    AfxHookWindowCreate(nullptr);
    if (!hWnd)
        return nullptr;
    return impl;
}

AfxDialogImpl::~AfxDialogImpl()
{
    *m_alive = false;
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    releaseControls();
    m_items.clear();
    m_itemWnds.clear();
}

HWND AfxDialogImpl::ownerWindow() const
{
    if (m_tpl.exStyle & WS_EX_APPWINDOW)
        return nullptr;
    if (m_dlg.m_pParentWnd && m_dlg.m_pParentWnd->GetImpl())
        return GetAncestor(m_dlg.m_pParentWnd->GetImpl()->m_hWnd, GA_ROOT);
    if (CDialog* outer = AfxModalRun::current())
        return outer->GetImpl()->m_hWnd;
    CWinApp* app = AfxGetApp();
    return app && app->m_pMainWnd && app->m_pMainWnd != &m_dlg && app->m_pMainWnd->GetImpl()
               ? app->m_pMainWnd->GetImpl()->m_hWnd
               : nullptr;
}

// The controls are sited in their items before the program's initialisation sees the dialog.
BOOL AfxDialogImpl::onInitDialog()
{
    for (const auto& [id, site] : m_pendingSites)
        addControl(GetDlgItem(m_hWnd, id), site);
    m_pendingSites.clear();
    // An icon the executable does not carry comes from the resource table.
    for (const AFX_DLGITEMTEMPLATE& tpl : m_tpl.items)
        if (!AfxIsControlClass(tpl.windowClass) && (tpl.style & SS_TYPEMASK) == SS_ICON && tpl.text)
            if (HICON icon = AfxLoadIcon(UINT(std::strtoul(tpl.text, nullptr, 10))))
                SendDlgItemMessage(m_hWnd, tpl.id & 0xFFFF, STM_SETICON, WPARAM(icon), 0);
    BOOL defaultFocus = TRUE;
    AfxCallGuarded([&] { defaultFocus = m_dlg.OnInitDialog(); });
    return defaultFocus;
}

void AfxDialogImpl::addControl(HWND hWndItem, AfxControlSite* pSite)
{
    pSite->Attach(hWndItem);
    m_sites.push_back(pSite);
    if (AfxWindowImpl* binding = hWndItem ? item(GetDlgCtrlID(hWndItem)) : nullptr)
        binding->m_pSite = pSite;
}

// The controls go with the window.
void AfxDialogImpl::onNcDestroy()
{
    releaseControls();
    m_items.clear();
    m_itemWnds.clear();
    unbind();
}

void AfxDialogImpl::releaseControls()
{
    for (auto& [id, site] : m_pendingSites)
        m_sites.push_back(site);
    m_pendingSites.clear();
    for (const auto& binding : m_items)
        binding->m_pSite = nullptr;
    for (AfxControlSite* site : m_sites) {
        site->Teardown();
        site->Release();
    }
    m_sites.clear();
}

// Template ids are 16 bits: -1 (IDC_STATIC) is 0xFFFF to the window system.
AfxWindowImpl* AfxDialogImpl::item(int nID)
{
    const HWND hWndItem = m_hWnd ? GetDlgItem(m_hWnd, nID & 0xFFFF) : nullptr;
    if (!hWndItem)
        return nullptr;
    if (AfxWindowImpl* bound = AfxFindWindow(hWndItem))
        return bound;
    m_items.push_back(std::make_unique<AfxWindowImpl>(nullptr));
    m_items.back()->bind(hWndItem);
    return m_items.back().get();
}

LRESULT AfxDialogImpl::defaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    m_bDefaulting = true;
    const LRESULT result = DefDlgProc(m_hWnd, message, wParam, lParam);
    m_bDefaulting = false;
    return result;
}

INT_PTR AfxDialogImpl::run()
{
    m_modal.enter();
    if (!m_modal.ended()) {
        if (m_hWndOwner)
            EnableWindow(m_hWndOwner, FALSE);
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
        if (m_script)
            AfxPostCall(0, [this, alive = m_alive, script = std::move(m_script)] {
                if (!*alive || !isRunning())
                    return;
                AfxCallGuarded(script);
                if (*alive && isRunning())
                    end(-2);
            });
        while (!m_modal.ended() && AfxPumpMessage()) {
        }
        if (m_hWndOwner)
            EnableWindow(m_hWndOwner, TRUE);
    }
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_modal.leave();
    return m_modal.result();
}

void AfxDialogImpl::end(INT_PTR nResult)
{
    m_modal.end(nResult);
    PostMessage(m_hWnd, WM_NULL, 0, 0); // wakes the loop
}

INT_PTR AfxRunDialog(CDialog& dlg, std::function<void()> script)
{
    std::unique_ptr<AfxDialogImpl> window = AfxDialogImpl::create(dlg, std::move(script));
    return window ? window->run() : -1;
}

void AfxEndDialog(CDialog& dlg, INT_PTR nResult)
{
    if (auto* window = dynamic_cast<AfxDialogImpl*>(dlg.GetImpl()))
        window->end(nResult);
}
