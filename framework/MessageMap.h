// Message maps: tables that bind messages and command ids to member functions. Each entry holds a
// thunk that calls the handler with its real signature, so a handler of the wrong shape does not
// compile. Lookup runs the class's own entries first, then its base class's map.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/Object.h"

class CCmdTarget;
using AFX_PMSG_THUNK = LRESULT (*)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage; // 0 ends the table
    UINT nCode;    // notification code for WM_COMMAND entries
    UINT nID;
    UINT nLastID;
    AFX_PMSG_THUNK pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Finds the first entry of the map chain that takes the message; nullptr when none does.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* pMap, UINT message, WPARAM wParam);

class CCmdTarget : public CObject
{
public:
    // Runs the handler of the first matching entry; false when the map chain has none.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                                                                        \
protected:                                                                                           \
    static const AFX_MSGMAP* GetThisMessageMap();                                                    \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                       \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }                \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                                  \
    {                                                                                                \
        using ThisClass [[maybe_unused]] = theClass;                                                 \
        using TheBaseClass = baseClass;                                                              \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                            \
    { 0, 0, 0, 0, nullptr }                                                                          \
    };                                                                                               \
    static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] };  \
    return &messageMap;                                                                              \
    }

#define AFX_THUNK(body)                                                                              \
    [](CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam) -> LRESULT {                               \
        (void)wParam;                                                                                \
        (void)lParam;                                                                                \
        ThisClass* pThis = static_cast<ThisClass*>(pTarget);                                         \
        body                                                                                         \
    }

#define ON_WM_PAINT() { WM_PAINT, 0, 0, 0, AFX_THUNK(pThis->OnPaint(); return 0;) },
#define ON_WM_TIMER() { WM_TIMER, 0, 0, 0, AFX_THUNK(pThis->OnTimer(UINT_PTR(wParam)); return 0;) },
#define ON_WM_SYSCOMMAND() { WM_SYSCOMMAND, 0, 0, 0, AFX_THUNK(pThis->OnSysCommand(UINT(wParam), lParam); return 0;) },
#define ON_WM_QUERYDRAGICON() { WM_QUERYDRAGICON, 0, 0, 0, AFX_THUNK(return LRESULT(pThis->OnQueryDragIcon());) },
#define ON_COMMAND(id, memberFxn) { WM_COMMAND, 0, UINT(id), UINT(id), AFX_THUNK(pThis->memberFxn(); return 0;) },
#define ON_BN_CLICKED(id, memberFxn) { WM_COMMAND, BN_CLICKED, UINT(id), UINT(id), AFX_THUNK(pThis->memberFxn(); return 0;) },
