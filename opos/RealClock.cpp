#include "RealClock.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#ifndef _WIN32
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

bool RealClock::WaitReadable(int fd, std::int64_t ms)
{
#ifndef _WIN32
    if (fd >= 0) {
        pollfd entry{fd, POLLIN, 0};
        const int timeout = ms < 0 ? -1 : int(std::min<std::int64_t>(ms, INT_MAX));
        return ::poll(&entry, 1, timeout) > 0; // an interrupted wait counts as a wake-up: the caller looks again
    }
#else
    (void)fd;
#endif
    // No descriptor (and on Windows no device has one): only the time passes.
    SleepMs(ms);
    return false;
}

}
