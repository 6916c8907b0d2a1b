// The platform the framework's public headers are written against: the real Windows and OLE headers.
// Names that Windows maps to its ANSI functions (LoadString, SendMessage, CreateFont, ...) are
// mapped for the framework's members too, consistently, as everywhere that includes this first.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <span>

// The window behind a CWnd, as CWnd::GetSafeWidget hands it out.
using AFX_WIDGET = HWND;

// LONG is a long here, so a "%d" for a LONG is right at run time but not to the format checker.
#define AFX_PRINTF_FORMAT(fmt, first)
