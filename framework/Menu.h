// Menus: the system menu that every dialog with WS_SYSMENU carries.
#pragma once

#include "CString.h"

#include <vector>

class CMenu
{
public:
    struct Item
    {
        UINT nFlags;
        UINT_PTR nID;
        CString text;
    };

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr);
    UINT GetMenuItemCount() const { return UINT(m_items.size()); }
    const std::vector<Item>& GetItems() const { return m_items; }

private:
    std::vector<Item> m_items;
};
