// Menus on every backend: the items the program appended, kept in the window system's own menu too
// where the platform has one.
#include "framework/Menu.h"

#include "framework/private/AfxBackend.h"

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    if (m_hMenu && !AfxAppendMenuItem(m_hMenu, nFlags, nIDNewItem, lpszNewItem))
        return FALSE;
    if (nFlags & MF_SEPARATOR)
        m_items.push_back({nFlags, 0, CString()});
    else
        m_items.push_back({nFlags, nIDNewItem, CString(lpszNewItem)});
    return TRUE;
}

UINT CMenu::GetMenuItemCount() const { return m_hMenu ? AfxMenuItemCount(m_hMenu) : UINT(m_items.size()); }
