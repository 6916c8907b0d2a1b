// What every backend's application object shares.
#include "framework/WinApp.h"

#include "framework/private/AfxBackend.h"

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR lpszAppName) : m_strAppName(lpszAppName ? CString(lpszAppName) : AfxModuleName())
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::Enable3dControls() { return TRUE; }

HICON CWinApp::LoadIcon(UINT nIDResource) const { return AfxLoadIcon(nIDResource); }

void CWinApp::OnHelp()
{
    CString text;
    text.Format("No help is available for %s.", static_cast<LPCTSTR>(m_strAppName));
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

CWinApp* AfxGetApp() { return g_app; }
