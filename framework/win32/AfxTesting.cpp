#include "AfxTesting.h"

#include "AfxDialogImpl.h"
#include "AfxMessageLoop.h"
#include "AfxReports.h"

namespace {
HWND windowOf(CWnd& wnd) { return wnd.GetImpl() ? wnd.GetImpl()->m_hWnd : nullptr; }
HWND itemOf(CWnd& dlg, int nID) { return windowOf(dlg) ? GetDlgItem(windowOf(dlg), nID) : nullptr; }

// Delivers a key as the message loop would, with the dialog keys of the framework.
void sendKey(HWND hWndFocus, UINT message, WPARAM vk, LPARAM lParam)
{
    PostMessage(hWndFocus, message, vk, lParam);
    PostMessage(hWndFocus, message == WM_KEYDOWN ? WM_KEYUP : WM_SYSKEYUP, vk, lParam | 0xC0000000);
    AfxPumpWaitingMessages();
}
}

void AfxPumpMessages(int milliseconds)
{
    if (milliseconds <= 0) {
        AfxPumpWaitingMessages();
        return;
    }
    bool done = false;
    AfxPostCall(UINT(milliseconds), [&] { done = true; });
    while (!done && AfxPumpMessage()) {
    }
}

void AfxPost(int delayMs, std::function<void()> fn) { AfxPostCall(UINT(delayMs > 0 ? delayMs : 0), std::move(fn)); }

CDialog* AfxCurrentModalDialog() { return AfxDialogImpl::current(); }

void AfxClickItem(CWnd& dlg, int nID)
{
    if (HWND item = itemOf(dlg, nID))
        SendMessage(item, BM_CLICK, 0, 0);
}

void AfxSetItemFocus(CWnd& dlg, int nID)
{
    if (HWND item = itemOf(dlg, nID))
        SetFocus(item);
}

void AfxPressKey(CWnd& dlg, AfxKey key)
{
    const HWND window = windowOf(dlg) ? GetAncestor(windowOf(dlg), GA_ROOT) : nullptr;
    if (!window)
        return;
    const HWND focus = GetFocus() && IsChild(window, GetFocus()) ? GetFocus() : window;
    switch (key) {
    case AfxKey::Enter: sendKey(focus, WM_KEYDOWN, VK_RETURN, 1); break;
    case AfxKey::Escape: sendKey(focus, WM_KEYDOWN, VK_ESCAPE, 1); break;
    case AfxKey::F1: sendKey(focus, WM_KEYDOWN, VK_F1, 1); break;
    // What Alt+Space asks of the window: its system menu, from the keyboard.
    case AfxKey::AltSpace: PostMessage(window, WM_SYSCOMMAND, SC_KEYMENU, ' '); AfxPumpWaitingMessages(); break;
    }
}

void AfxCloseBox(CWnd& dlg)
{
    if (HWND window = windowOf(dlg))
        SendMessage(GetAncestor(window, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
}

// The command a chosen item of the system menu sends.
BOOL AfxChooseSystemMenuItem(CWnd& dlg, UINT nID)
{
    const HWND window = windowOf(dlg) ? GetAncestor(windowOf(dlg), GA_ROOT) : nullptr;
    const HMENU menu = window ? GetSystemMenu(window, FALSE) : nullptr;
    if (!menu || GetMenuState(menu, nID, MF_BYCOMMAND) == UINT(-1))
        return FALSE;
    SendMessage(window, WM_SYSCOMMAND, nID, 0);
    return TRUE;
}

namespace {
BOOL CALLBACK countVisible(HWND hWnd, LPARAM count)
{
    if (IsWindowVisible(hWnd))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}
}

int AfxVisibleTopLevelCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &countVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}
