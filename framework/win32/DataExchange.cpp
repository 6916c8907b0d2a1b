// Dialog items for data exchange: the dialog manager's items behind them.
#include "framework/private/AfxBackend.h"
#include "framework/win32/AfxDialogImpl.h"

AfxWindowImpl* AfxFindItem(CWnd& dlg, int nID)
{
    auto* window = dynamic_cast<AfxDialogImpl*>(dlg.GetImpl());
    return window ? window->item(nID) : nullptr;
}

// The item is subclassed, so its messages reach the object's map.
void AfxAttachItem(AfxWindowImpl& item, CWnd& wnd)
{
    wnd.AttachImpl(&item);
    if (!item.m_pfnSuper)
        item.subclass(item.m_hWnd);
    InvalidateRect(item.m_hWnd, nullptr, TRUE);
}

void AfxGetItemCheck(AfxWindowImpl& item, int& value) { value = int(SendMessage(item.m_hWnd, BM_GETCHECK, 0, 0)); }

void AfxSetItemCheck(AfxWindowImpl& item, int value) { SendMessage(item.m_hWnd, BM_SETCHECK, WPARAM(value), 0); }
