// The application: runs the console once, modally, and ends.
#pragma once

#include "framework/afxwin.h"

class CWeighApp : public CWinApp
{
public:
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CWeighApp theApp;
