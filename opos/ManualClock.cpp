#include "ManualClock.h"

namespace opos {

void ManualClock::SleepMs(std::int64_t ms)
{
    if (ms > 0)
        m_nowMs += ms;
}

}
