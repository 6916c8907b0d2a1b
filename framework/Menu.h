// Menus: the system menu that every dialog with WS_SYSMENU carries.
#pragma once

#include "framework/CString.h"

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
    UINT GetMenuItemCount() const;
    const std::vector<Item>& GetItems() const { return m_items; } // those appended by the program

    HMENU m_hMenu = nullptr; // the window system's menu, where the platform keeps one

private:
    std::vector<Item> m_items;
};
