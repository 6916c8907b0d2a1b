// Data exchange between a dialog's items and the program's members.
#include "Wnd.h"

#include "AfxWindowImpl.h"

#include <QCheckBox>

namespace {
AfxWindowImpl* itemOf(CDataExchange* pDX, int nIDC)
{
    AfxWindowImpl* dlg = pDX && pDX->m_pDlgWnd ? pDX->m_pDlgWnd->GetImpl() : nullptr;
    return dlg ? dlg->child(nIDC) : nullptr;
}
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    AfxWindowImpl* item = itemOf(pDX, nIDC);
    // Once: a later exchange finds the object already on its item.
    if (item && rControl.GetImpl() != item) {
        item->attach(&rControl);
        if (item->widget())
            item->widget()->update();
    }
}

// 1 checked, 0 unchecked, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    AfxWindowImpl* item = itemOf(pDX, nIDC);
    auto* box = item ? qobject_cast<QCheckBox*>(item->widget()) : nullptr;
    if (!box)
        return;
    if (pDX->m_bSaveAndValidate)
        value = box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
    else
        box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}
