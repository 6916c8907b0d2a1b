#include "framework/win32/AfxMessageLoop.h"

#include "framework/AfxTypes.h"
#include "framework/private/AfxReports.h"

#include <map>

namespace {
bool isDialog(HWND hWnd) { return hWnd && GetClassLongPtr(hWnd, GCW_ATOM) == 32770; }

UINT dlgCode(HWND hWnd) { return UINT(SendMessage(hWnd, WM_GETDLGCODE, 0, 0)); }
bool isPushButton(HWND hWnd) { return dlgCode(hWnd) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON); }

void onEnter(HWND hWndFocus)
{
    if (isPushButton(hWndFocus)) {
        SendMessage(hWndFocus, BM_CLICK, 0, 0);
        return;
    }
    if (!(dlgCode(hWndFocus) & DLGC_HASSETSEL)) // not an edit box
        return;
    for (HWND next = GetWindow(hWndFocus, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT))
        if (isPushButton(next)) {
            SendMessage(next, BM_CLICK, 0, 0);
            return;
        }
}

bool noModifiers() { return GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0; }

// True when the key was the framework's to handle.
bool dialogKey(const MSG& msg, HWND hWndDlg)
{
    if (msg.message != WM_KEYDOWN || !noModifiers())
        return false;
    if (msg.wParam == VK_RETURN) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hWndDlg, focus))
            onEnter(focus);
        return true;
    }
    if (msg.wParam == VK_F1) {
        SendMessage(hWndDlg, WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
        return true;
    }
    return false;
}

void process(MSG& msg)
{
    const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (isDialog(root) && (dialogKey(msg, root) || IsDialogMessage(root, &msg)))
        return;
    TranslateMessage(&msg);
    DispatchMessage(&msg);
}

std::map<UINT_PTR, std::function<void()>>& postedCalls()
{
    static std::map<UINT_PTR, std::function<void()>> s_calls;
    return s_calls;
}

void CALLBACK runPostedCall(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    const auto it = postedCalls().find(id);
    if (it == postedCalls().end())
        return;
    const std::function<void()> fn = std::move(it->second);
    postedCalls().erase(it);
    AfxCallGuarded(fn);
}
}

bool AfxPumpMessage()
{
    MSG msg;
    if (!GetMessage(&msg, nullptr, 0, 0)) {
        PostQuitMessage(int(msg.wParam));
        return false;
    }
    process(msg);
    return true;
}

void AfxPumpWaitingMessages()
{
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));
            return;
        }
        process(msg);
    }
}

void AfxPostCall(UINT delayMs, std::function<void()> fn)
{
    const UINT_PTR id = SetTimer(nullptr, 0, delayMs ? delayMs : USER_TIMER_MINIMUM, &runPostedCall);
    if (id)
        postedCalls()[id] = std::move(fn);
}
