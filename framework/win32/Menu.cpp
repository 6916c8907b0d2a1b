#include "Menu.h"

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem)
{
    if (m_hMenu && !::AppendMenu(m_hMenu, nFlags, nIDNewItem, lpszNewItem))
        return FALSE;
    if (nFlags & MF_SEPARATOR)
        m_items.push_back({nFlags, 0, CString()});
    else
        m_items.push_back({nFlags, nIDNewItem, CString(lpszNewItem)});
    return TRUE;
}

UINT CMenu::GetMenuItemCount() const { return m_hMenu ? UINT(::GetMenuItemCount(m_hMenu)) : UINT(m_items.size()); }
