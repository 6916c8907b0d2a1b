#include "app/WeighApp.h"

#include "console/WeighConsoleDlg.h"

BEGIN_MESSAGE_MAP(CWeighApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CWeighApp theApp;

BOOL CWeighApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CWeighConsoleDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The console is gone once this returns; leave no pointer to it behind.
    m_pMainWnd = nullptr;
    return FALSE;
}
