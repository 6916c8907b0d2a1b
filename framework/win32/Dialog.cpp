#include "Dialog.h"

#include "AfxDialogImpl.h"
#include "AfxTestHooks.h"

INT_PTR CDialog::DoModal()
{
    std::unique_ptr<AfxDialogImpl> window = AfxDialogImpl::create(*this, AfxTakeModalScript(this));
    return window ? window->run() : -1;
}

void CDialog::EndDialog(int nResult)
{
    if (auto* window = dynamic_cast<AfxDialogImpl*>(GetImpl()))
        window->end(nResult);
}

// The dialog manager turns WM_CLOSE into command 2.
LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CWnd::DefWindowProc(message, wParam, lParam);
}
