#include "opos/testing/ManualClock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif

namespace opos {

void ManualClock::SleepMs(std::int64_t ms)
{
    if (ms > 0)
        m_nowMs += ms;
}

bool ManualClock::Wait(WaitHandle handle, std::int64_t ms)
{
    if (handle != kNoWait) {
#ifdef _WIN32
        if (::WaitForSingleObject(reinterpret_cast<HANDLE>(handle), ms < 0 ? INFINITE : 0) == WAIT_OBJECT_0)
            return true;
#else
        pollfd entry{int(handle), POLLIN, 0};
        if (::poll(&entry, 1, ms < 0 ? -1 : 0) > 0)
            return true;
#endif
    }
    SleepMs(ms);
    return false;
}

}
