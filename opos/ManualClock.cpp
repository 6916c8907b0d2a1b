#include "ManualClock.h"

#ifndef _WIN32
#include <poll.h>
#endif

namespace opos {

void ManualClock::SleepMs(std::int64_t ms)
{
    if (ms > 0)
        m_nowMs += ms;
}

bool ManualClock::WaitReadable(int fd, std::int64_t ms)
{
#ifndef _WIN32
    pollfd entry{fd, POLLIN, 0};
    if (fd >= 0 && ::poll(&entry, 1, ms < 0 ? -1 : 0) > 0)
        return true;
#else
    (void)fd; // no device on Windows has a descriptor to wait on
#endif
    SleepMs(ms);
    return false;
}

}
