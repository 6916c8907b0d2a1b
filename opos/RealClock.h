// Wall-clock time: a monotonic clock and real sleeps.
#pragma once

#include "opos/Clock.h"

namespace opos {

class RealClock : public Clock
{
public:
    std::int64_t NowMs() override;
    void SleepMs(std::int64_t ms) override;
    bool Wait(WaitHandle handle, std::int64_t ms) override;
};

}
