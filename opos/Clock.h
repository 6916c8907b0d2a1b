// The time every wait of the scale goes through, so tests can replace real time with a clock
// they move themselves.
#pragma once

#include <cstdint>

namespace opos {

class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(std::int64_t ms) = 0;
    // Waits up to ms (-1: no limit) for fd to turn readable or hang up; with fd -1 it only
    // sleeps. True when fd is ready.
    virtual bool WaitReadable(int fd, std::int64_t ms) = 0;
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
