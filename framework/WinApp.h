// The application object and the process entry point.
#pragma once

#include "framework/Wnd.h"

class CWinApp : public CCmdTarget
{
public:
    // One global object; a null name means the executable's name.
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    BOOL Enable3dControls(); // the look is the platform's own; nothing to do
    HICON LoadIcon(UINT nIDResource) const; // the largest image of the icon; nullptr when missing
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    CString m_strAppName;

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();

// Creates the application (the backend's), runs InitInstance and ends when it returns FALSE (exit code 0).
// Without a display it prints how to run the program and returns 1.
int AfxWinMain(int argc, char** argv);

// Shows a message box; while one report of a failure is open no further one is shown.
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK);
