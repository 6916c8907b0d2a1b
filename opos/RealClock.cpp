#include "opos/RealClock.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif

namespace opos {

std::int64_t RealClock::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::SleepMs(std::int64_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool RealClock::Wait(WaitHandle handle, std::int64_t ms)
{
    if (handle != kNoWait) {
#ifdef _WIN32
        const DWORD timeout = ms < 0 ? INFINITE : DWORD(std::min<std::int64_t>(ms, INFINITE - 1));
        return ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle), timeout) == WAIT_OBJECT_0;
#else
        pollfd entry{int(handle), POLLIN, 0};
        const int timeout = ms < 0 ? -1 : int(std::min<std::int64_t>(ms, INT_MAX));
        return ::poll(&entry, 1, timeout) > 0; // an interrupted wait counts as a wake-up: the caller looks again
#endif
    }
    // Nothing to wait on: only the time passes.
    SleepMs(ms);
    return false;
}

}
