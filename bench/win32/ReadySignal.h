// The start-up children's signal to the runner under Wine: a "ready" line on the standard output
// the runner gave them, once the window is shown and painted, with the process's peak working set
// so far (which the runner cannot ask for once the child has gone on to end).
#pragma once

#include <windows.h>

namespace bench {

// When the window is shown: paints what is still pending in it and its items, writes
// "ready <peak working set in KiB>" and returns true. Otherwise returns false; try again later.
bool AnnounceReadyWhenShown(HWND window);

}
