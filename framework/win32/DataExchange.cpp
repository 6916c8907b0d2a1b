// Data exchange between a dialog's items and the program's members.
#include "Wnd.h"

#include "AfxDialogImpl.h"

namespace {
AfxWindowImpl* itemOf(CDataExchange* pDX, int nIDC)
{
    auto* dlg = pDX && pDX->m_pDlgWnd ? dynamic_cast<AfxDialogImpl*>(pDX->m_pDlgWnd->GetImpl()) : nullptr;
    return dlg ? dlg->item(nIDC) : nullptr;
}
}

// Once: a later exchange finds the object already on its item. The item is subclassed, so its
// messages reach the object's map.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    AfxWindowImpl* item = itemOf(pDX, nIDC);
    if (!item || rControl.GetImpl() == item)
        return;
    rControl.AttachImpl(item);
    if (!item->m_pfnSuper)
        item->subclass(item->m_hWnd);
    InvalidateRect(item->m_hWnd, nullptr, TRUE);
}

// 1 checked, 0 unchecked, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    AfxWindowImpl* item = itemOf(pDX, nIDC);
    if (!item)
        return;
    if (pDX->m_bSaveAndValidate)
        value = int(SendMessage(item->m_hWnd, BM_GETCHECK, 0, 0));
    else
        SendMessage(item->m_hWnd, BM_SETCHECK, WPARAM(value), 0);
}
