// Data exchange between a dialog's items and the program's members, on every backend.
#include "framework/Wnd.h"

#include "framework/private/AfxBackend.h"

namespace {
AfxWindowImpl* itemOf(CDataExchange* pDX, int nIDC)
{
    return pDX && pDX->m_pDlgWnd ? AfxFindItem(*pDX->m_pDlgWnd, nIDC) : nullptr;
}
}

// Once: a later exchange finds the object already on its item.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    AfxWindowImpl* item = itemOf(pDX, nIDC);
    if (item && rControl.GetImpl() != item)
        AfxAttachItem(*item, rControl);
}

// 1 checked, 0 unchecked, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    AfxWindowImpl* item = itemOf(pDX, nIDC);
    if (!item)
        return;
    if (pDX->m_bSaveAndValidate)
        AfxGetItemCheck(*item, value);
    else
        AfxSetItemCheck(*item, value);
}
