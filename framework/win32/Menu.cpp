// A window's system menu is the window system's own.
#include "framework/private/AfxBackend.h"

BOOL AfxAppendMenuItem(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    return ::AppendMenu(hMenu, nFlags, nIDNewItem, lpszNewItem);
}

UINT AfxMenuItemCount(HMENU hMenu) { return UINT(::GetMenuItemCount(hMenu)); }
