// What every backend's dialogs share: the standard OK and Cancel handling and initialisation.
#include "framework/Dialog.h"

#include "framework/private/AfxBackend.h"
#include "framework/private/AfxControlClass.h"
#include "framework/private/AfxTestHooks.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    return AfxRunDialog(*this, AfxTakeModalScript(this));
}

void CDialog::EndDialog(int nResult) { AfxEndDialog(*this, nResult); }

bool AfxIsControlClass(const char* windowClass) { return windowClass && windowClass[0] == '{'; }

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// The window's close command (the caption's close button, the system menu's Close, Alt+F4) ends up
// as command 2, at once.
LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    }
    return CWnd::DefWindowProc(message, wParam, lParam);
}
