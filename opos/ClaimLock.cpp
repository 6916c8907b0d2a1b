#include "opos/ClaimLock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace opos {

namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(20);
}

ClaimLock::ClaimLock(const std::u16string& deviceName) : m_deviceName(deviceName) {}

ClaimLock::~ClaimLock() { Release(); }

bool ClaimLock::Acquire(std::int32_t timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (!TryOnce()) {
        const auto now = Clock::now();
        if (timeoutMs >= 0 && now >= deadline)
            return false;
        const auto pause = timeoutMs < 0 ? kPollInterval : std::min<Clock::duration>(kPollInterval, deadline - now);
        std::this_thread::sleep_for(pause);
    }
    return true;
}

}
