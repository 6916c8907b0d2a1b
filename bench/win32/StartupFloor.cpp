// Start-up child of the floor under Wine: the bare dialog of the console's template up to shown and
// painted; then "ready" on the runner's pipe, and Exit.
#include "bench/win32/FloorDialog.h"
#include "bench/win32/ReadySignal.h"

#include "res/resource.h"

namespace {

bench::FloorDialog* g_floor = nullptr;

// As the console child's announcement: a thread timer of the shortest period, run by the dialog's
// message loop and ticking again until the window is up.
void CALLBACK AnnounceWhenUp(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!bench::AnnounceReadyWhenShown(g_floor->Window()))
        return;
    KillTimer(nullptr, id);
    SendDlgItemMessage(g_floor->Window(), IDOK, BM_CLICK, 0, 0);
}

}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    bench::FloorDialog floor;
    g_floor = &floor;
    SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &AnnounceWhenUp);
    return floor.DoModal() == IDOK ? 0 : 1;
}
