#include "WinApp.h"

#include "AfxControlSite.h"
#include "AfxIcon.h"
#include "AfxMessageLoop.h"
#include "AfxReports.h"

#include <string>

namespace {
CWinApp* g_app = nullptr;

// The executable's name without folder and extension.
CString moduleName()
{
    char path[MAX_PATH] = "";
    GetModuleFileName(nullptr, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of("\\/") + 1);
    return CString(name.substr(0, name.rfind('.')));
}
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR lpszAppName) : m_strAppName(lpszAppName ? CString(lpszAppName) : moduleName())
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

// COM for the user-interface thread first, so that templates can host controls.
int AfxWinMain(int, char**)
{
    AfxOleInit();
    CWinApp* theApp = AfxGetApp();
    if (!theApp) {
        MessageBox(nullptr, "The program has no application object.", "Tarabo", MB_OK | MB_ICONSTOP);
        return 1;
    }
    BOOL runLoop = FALSE;
    AfxCallGuarded([&] { runLoop = theApp->InitInstance(); });
    while (runLoop && AfxPumpMessage()) {
    }
    return 0;
}
