#include "framework/MessageMap.h"

namespace {
bool entryMatches(const AFX_MSGMAP_ENTRY& e, UINT message, WPARAM wParam)
{
    if (e.nMessage != message)
        return false;
    if (message != WM_COMMAND)
        return true;
    const UINT id = LOWORD(wParam);
    return HIWORD(wParam) == e.nCode && id >= e.nID && id <= e.nLastID;
}
}

const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT message, WPARAM wParam)
{
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e && e->nMessage != 0; ++e)
            if (entryMatches(*e, message, wParam))
                return e;
    return nullptr;
}

BOOL CCmdTarget::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const AFX_MSGMAP_ENTRY* entry = AfxFindMessageEntry(GetMessageMap(), message, wParam);
    if (!entry)
        return FALSE;
    const LRESULT result = entry->pfn(this, wParam, lParam);
    if (pResult)
        *pResult = result;
    return TRUE;
}

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }
