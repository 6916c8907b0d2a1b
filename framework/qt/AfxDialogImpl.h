// Framework-internal: a dialog window built from its template and run modally.
#pragma once

#include "framework/Dialog.h"
#include "framework/private/AfxModal.h"
#include "framework/qt/AfxWindowImpl.h"
#include "framework/Resources.h"

#include <QDialog>

#include <functional>
#include <memory>

class AfxDialogImpl : public AfxWindowImpl
{
public:
    // Builds the window of the dialog and attaches the dialog to it; nullptr, with nothing made,
    // when the template is missing or one of its controls cannot be created.
    static std::unique_ptr<AfxDialogImpl> create(CDialog& dlg, const std::function<void()>& script);
    ~AfxDialogImpl() override;

    // OnInitDialog, then the window is shown and runs modally until EndDialog; returns the end code.
    INT_PTR run();
    void end(INT_PTR nResult);
    bool isRunning() const { return m_modal.isRunning(); }
    CDialog& dialog() const { return m_dlg; }
    QDialog* window() const { return m_window.get(); }


protected:
    bool handleKey(AfxWindowImpl* pSource, QKeyEvent* pEvent) override;

private:
    AfxDialogImpl(CDialog& dlg, const AFX_DLGTEMPLATE& tpl, std::function<void()> script);
    void build(std::vector<std::unique_ptr<CHostedControl>> controls);
    void buildItem(const AFX_DLGITEMTEMPLATE& item, std::unique_ptr<CHostedControl> control);
    void initialFocus();
    void onEnter(AfxWindowImpl* pSource);
    QWidget* ownerWidget() const;

    CDialog& m_dlg;
    const AFX_DLGTEMPLATE& m_tpl;
    std::function<void()> m_script;
    std::unique_ptr<QDialog> m_window;
    AfxModalRun m_modal;
};
