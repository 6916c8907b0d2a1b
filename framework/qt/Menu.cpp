// Qt keeps no menu of the window system's: a CMenu is its item list alone and m_hMenu stays null,
// so these are never reached.
#include "framework/private/AfxBackend.h"

BOOL AfxAppendMenuItem(HMENU, UINT, UINT_PTR, LPCTSTR) { return FALSE; }

UINT AfxMenuItemCount(HMENU) { return 0; }
