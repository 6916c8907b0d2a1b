#include "framework/Resources.h"

namespace {
const AFX_RESOURCES*& table()
{
    static const AFX_RESOURCES* s_table = nullptr;
    return s_table;
}

template <class T>
const T* findById(std::span<const T> items, UINT nID)
{
    for (const T& item : items)
        if (item.id == nID)
            return &item;
    return nullptr;
}
}

void AfxSetResourceTable(const AFX_RESOURCES* pResources) { table() = pResources; }
const AFX_RESOURCES* AfxGetResourceTable() { return table(); }

const AFX_DLGTEMPLATE* AfxFindDialogTemplate(UINT nID)
{
    return table() ? findById(table()->dialogs, nID) : nullptr;
}

const char* AfxFindString(UINT nID)
{
    const STRINGRESOURCE* s = table() ? findById(table()->strings, nID) : nullptr;
    return s ? s->text : nullptr;
}

const ICONRESOURCE* AfxFindIcon(UINT nID)
{
    return table() ? findById(table()->icons, nID) : nullptr;
}

const ICONIMAGE* AfxFindIconImage(UINT nID)
{
    const ICONRESOURCE* icon = AfxFindIcon(nID);
    if (!icon)
        return nullptr;
    for (const ICONIMAGE& image : icon->images)
        if (image.size == 32)
            return &image;
    return icon->images.empty() ? nullptr : &icon->images.front();
}

const VERSIONINFO* AfxGetVersionInfo() { return table() ? table()->version : nullptr; }
