#include "ManualClock.h"

#include <poll.h>

namespace opos {

void ManualClock::SleepMs(std::int64_t ms)
{
    if (ms > 0)
        m_nowMs += ms;
}

bool ManualClock::WaitReadable(int fd, std::int64_t ms)
{
    pollfd entry{fd, POLLIN, 0};
    if (fd >= 0 && ::poll(&entry, 1, ms < 0 ? -1 : 0) > 0)
        return true;
    SleepMs(ms);
    return false;
}

}
