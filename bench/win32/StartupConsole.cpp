// Start-up child under Wine: the real program (application object, console, the simulated K350
// behind "K350", its control published in the process and reached through COM) up to the console
// shown and painted with its start-up done; then "ready" on the runner's pipe, and Exit.
#include "bench/win32/ReadySignal.h"

#include "framework/AfxTesting.h"
#include "framework/WinApp.h"
#include "framework/win32/AfxWindowImpl.h"
#include "res/resource.h"

#include <cstdlib>

namespace {

// The console's start-up writes the capacity line over the template's text and arms the Loop timer.
bool StartedUp(CDialog& console)
{
    CString capacity;
    console.GetDlgItemText(IDC_CAPACITY, capacity);
    return !(capacity == "Static") && console.GetImpl()->m_timers.count(1) == 1;
}

void AnnounceWhenUp()
{
    CDialog* console = AfxCurrentModalDialog();
    if (!console || !console->GetImpl() || !StartedUp(*console) ||
        !bench::AnnounceReadyWhenShown(console->GetImpl()->m_hWnd)) {
        AfxPost(0, AnnounceWhenUp);
        return;
    }
    AfxClickItem(*console, IDOK);
}

}

// What the program's WinMain does, with the announcement posted before the application starts.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    AfxPost(0, AnnounceWhenUp);
    return AfxWinMain(__argc, __argv);
}
