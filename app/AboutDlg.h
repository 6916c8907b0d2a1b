// The About box: the icon, the version line and the notice, with OK.
#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"

class CAboutDlg : public CDialog
{
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
