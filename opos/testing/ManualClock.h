// A clock that only moves when told: sleeping advances it at once, so a wait of any length
// costs no real time. A wait on a handle returns at once when it is ready (whatever a test
// queued before the call), else moves the clock by the whole wait.
#pragma once

#include "opos/Clock.h"

#include <atomic>

namespace opos {

class ManualClock : public Clock
{
public:
    explicit ManualClock(std::int64_t startMs = 0) : m_nowMs(startMs) {}
    std::int64_t NowMs() override { return m_nowMs.load(); }
    void SleepMs(std::int64_t ms) override;
    bool Wait(WaitHandle handle, std::int64_t ms) override;
    void AdvanceMs(std::int64_t ms) { SleepMs(ms); }
    void SetMs(std::int64_t ms) { m_nowMs.store(ms); }

private:
    std::atomic<std::int64_t> m_nowMs;
};

}
