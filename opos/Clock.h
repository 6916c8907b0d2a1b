// The time every wait of the scale goes through, so tests can replace real time with a clock
// they move themselves.
#pragma once

#include <cstdint>

namespace opos {

// What a wait waits on: a descriptor that turns readable or hangs up (POSIX), or an event or file
// handle that is signalled (Windows), as an integer so that this header needs neither platform.
using WaitHandle = std::intptr_t;
inline constexpr WaitHandle kNoWait = -1;

class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t ms) = 0;
    // Waits up to ms (-1: no limit) for handle to turn ready; with kNoWait it only sleeps. True
    // when the handle is ready.
    virtual bool Wait(WaitHandle handle, std::int64_t ms) = 0;
};

// The clock in force: real time unless a ClockOverride is alive.
Clock& CurrentClock();

class ClockOverride
{
public:
    explicit ClockOverride(Clock& clock);
    ~ClockOverride();
    ClockOverride(const ClockOverride&) = delete;
    ClockOverride& operator=(const ClockOverride&) = delete;

private:
    Clock* m_previous;
};

}
