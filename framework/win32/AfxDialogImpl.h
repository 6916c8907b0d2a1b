// Framework-internal: a dialog made by the dialog manager from its template, its hosted controls and
// the bindings of its items, run modally by the framework's message loop.
#pragma once

#include "framework/Dialog.h"
#include "framework/private/AfxModal.h"
#include "framework/Resources.h"
#include "framework/win32/AfxWindowImpl.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class AfxDialogImpl : public AfxWindowImpl
{
public:
    // Creates the controls, then the window (OnInitDialog runs inside); nullptr, with nothing shown
    // and nothing left behind, when the template is missing or a control cannot be created.
    static std::unique_ptr<AfxDialogImpl> create(CDialog& dlg, std::function<void()> script);
    ~AfxDialogImpl() override;

    INT_PTR run();
    void end(INT_PTR nResult);
    bool isRunning() const { return m_modal.isRunning(); }

    // The binding of an item, made on first use; nullptr when there is no such item.
    AfxWindowImpl* item(int nID);
    // Keeps the object the framework made for an item the program attached none to.
    void adoptItemWnd(CWnd* pWnd) { m_itemWnds.emplace_back(pWnd); }
    // Hosts a control created at run time in a window of this dialog.
    void addControl(HWND hWndItem, AfxControlSite* pSite);

    LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL onInitDialog() override;
    void onNcDestroy() override;

private:
    AfxDialogImpl(CDialog& dlg, const AFX_DLGTEMPLATE& tpl) : AfxWindowImpl(&dlg), m_dlg(dlg), m_tpl(tpl), m_modal(dlg) {}
    HWND ownerWindow() const;
    void releaseControls();

    CDialog& m_dlg;
    const AFX_DLGTEMPLATE& m_tpl;
    std::function<void()> m_script;
    std::vector<std::pair<int, AfxControlSite*>> m_pendingSites; // made before the window
    std::vector<std::unique_ptr<AfxWindowImpl>> m_items;
    std::vector<std::unique_ptr<CWnd>> m_itemWnds; // objects for items the program attached none to
    std::vector<AfxControlSite*> m_sites;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    HWND m_hWndOwner = nullptr;
    AfxModalRun m_modal;
};
