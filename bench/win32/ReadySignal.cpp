#include "bench/win32/ReadySignal.h"

#include <psapi.h>

#include <cstdio>

namespace bench {

bool AnnounceReadyWhenShown(HWND window)
{
    if (!window || !IsWindowVisible(window))
        return false;
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    const unsigned long long peakKib =
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize / 1024 : 0;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "ready %llu\n", peakKib);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, DWORD(n), &written, nullptr);
    return true;
}

}
