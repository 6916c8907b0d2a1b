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
