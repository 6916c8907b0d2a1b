#include "framework/AfxTesting.h"

#include "framework/private/AfxReports.h"
#include "framework/win32/AfxControlSite.h"
#include "framework/win32/AfxDialogImpl.h"
#include "framework/win32/AfxMessageLoop.h"

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

void AfxTestStartup(int&, char**)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    AfxOleInit();
}

void AfxTestShutdown()
{
    AfxDismissReports();
    AfxPumpWaitingMessages();
}

namespace {
BOOL CALLBACK hideVisible(HWND hWnd, LPARAM)
{
    if (IsWindowVisible(hWnd))
        ShowWindow(hWnd, SW_HIDE);
    return TRUE;
}

// A 32-bit top-down DIB section of that size selected into a memory DC.
struct Canvas
{
    HDC hdc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    DWORD* bits = nullptr;
    int cx, cy;
    HGDIOBJ old = nullptr;
    Canvas(int width, int height) : cx(width), cy(height)
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(hdc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(hdc, old);
        DeleteObject(bitmap);
        DeleteDC(hdc);
    }
    AFX_IMAGE image() const
    {
        AFX_IMAGE out{cx, cy, {}};
        for (int i = 0; i < cx * cy; ++i)
            out.bits.push_back(RGB(BYTE(bits[i] >> 16), BYTE(bits[i] >> 8), BYTE(bits[i])));
        return out;
    }
};
}

int AfxCloseTopLevelWindows()
{
    const int shown = AfxVisibleTopLevelCount();
    AfxDismissReports();
    EnumThreadWindows(GetCurrentThreadId(), &hideVisible, 0);
    AfxPumpWaitingMessages();
    return shown;
}

int AfxFocusedItemId(CWnd& dlg)
{
    const HWND window = windowOf(dlg);
    HWND focus = GetFocus();
    if (!window || !focus || !IsChild(window, focus))
        return 0;
    while (GetParent(focus) != window)
        focus = GetParent(focus);
    return GetDlgCtrlID(focus);
}

// What the window shows on the screen when it paints itself now.
AFX_IMAGE AfxGrabClientArea(CWnd& wnd)
{
    const HWND h = windowOf(wnd);
    if (!h)
        return {};
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc;
    GetClientRect(h, &rc);
    Canvas canvas(rc.right, rc.bottom);
    const HDC screen = GetDC(h);
    BitBlt(canvas.hdc, 0, 0, rc.right, rc.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(h, screen);
    return canvas.image();
}

// Only the window's own painting, into a client area of cx by cy, as the window paints when minimised.
AFX_IMAGE AfxPaintMinimized(CWnd& wnd, int cx, int cy)
{
    AfxWindowImpl* impl = wnd.GetImpl();
    if (!impl || !impl->m_hWnd)
        return {};
    Canvas canvas(cx, cy);
    const RECT all{0, 0, cx, cy};
    FillRect(canvas.hdc, &all, GetSysColorBrush(COLOR_BTNFACE));
    impl->m_hdcRedirect = canvas.hdc;
    impl->m_redirectSize = {cx, cy};
    wnd.SendMessage(WM_PAINT);
    impl->m_hdcRedirect = nullptr;
    return canvas.image();
}

AFX_FONTINFO AfxGetItemFont(CWnd& item)
{
    const HWND h = windowOf(item);
    const HFONT font = h ? reinterpret_cast<HFONT>(SendMessage(h, WM_GETFONT, 0, 0)) : nullptr;
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    char face[LF_FACESIZE] = "";
    GetTextFace(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {tm.tmHeight, tm.tmAveCharWidth, tm.tmWeight, tm.tmItalic ? TRUE : FALSE, CString(face)};
}
