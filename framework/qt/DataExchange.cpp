// Dialog items for data exchange: the Qt widgets behind them.
#include "framework/private/AfxBackend.h"
#include "framework/qt/AfxWindowImpl.h"

#include <QCheckBox>

AfxWindowImpl* AfxFindItem(CWnd& dlg, int nID) { return dlg.GetImpl() ? dlg.GetImpl()->child(nID) : nullptr; }

void AfxAttachItem(AfxWindowImpl& item, CWnd& wnd)
{
    item.attach(&wnd);
    if (item.widget())
        item.widget()->update();
}

void AfxGetItemCheck(AfxWindowImpl& item, int& value)
{
    if (auto* box = qobject_cast<QCheckBox*>(item.widget()))
        value = box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
}

void AfxSetItemCheck(AfxWindowImpl& item, int value)
{
    if (auto* box = qobject_cast<QCheckBox*>(item.widget()))
        box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}
