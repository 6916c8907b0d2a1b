#include "framework/WinApp.h"

#include "framework/private/AfxBackend.h"
#include "framework/private/AfxReports.h"
#include "framework/win32/AfxControlSite.h"
#include "framework/win32/AfxMessageLoop.h"

#include <string>

namespace {
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

CString AfxModuleName() { return moduleName(); }

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
