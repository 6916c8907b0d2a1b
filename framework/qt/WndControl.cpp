// CWnd's side of control hosting.
#include "framework/Wnd.h"

#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxWidget.h"

#include <QFrame>

BOOL CWnd::CreateControl(REFCLSID clsid, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                         UINT nID)
{
    AfxWindowImpl* parent = pParentWnd ? pParentWnd->GetImpl() : nullptr;
    if (m_pImpl || !parent || !parent->widget() || !AfxControlContainerEnabled())
        return FALSE;
    std::unique_ptr<CHostedControl> control = AfxCreateControlInstance(AfxStringFromCLSID(clsid));
    if (!control)
        return FALSE;
    AfxWindowImpl* item = parent->addChild(std::make_unique<AfxWindowImpl>(parent, int(nID), dwStyle, 0));
    auto* placeholder = new AfxWidget<QFrame>(item, parent->widget());
    placeholder->setWindowTitle(AfxToQString(lpszWindowName));
    placeholder->setGeometry(AfxToQRect(rect));
    placeholder->setVisible(dwStyle & WS_VISIBLE);
    item->setControl(std::move(control));
    item->attach(this);
    return TRUE;
}

IDispatch* CWnd::GetControlDispatch() const { return m_pImpl ? m_pImpl->control() : nullptr; }

// Controls are created straight from the registry here.
void AfxControlClassChanged(const std::string&, bool) {}
