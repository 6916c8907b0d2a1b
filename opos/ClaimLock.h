// The exclusive claim of one logical device, shared by every process on the machine.
//
// Holding the claim means holding a system object named after the device, which exists only while
// someone holds it: the system drops it as soon as the holder lets go, exits or is killed, and
// nothing is ever written to disk. On Linux it is a Unix socket bound to an abstract-namespace name
// ("\0tarabo-opos-claim-K350"); on Windows a named event ("Global\tarabo-opos-claim-K350"), which
// only the process that created it holds.
#pragma once

#include <cstdint>
#include <string>

namespace opos {

class ClaimLock
{
public:
    explicit ClaimLock(const std::u16string& deviceName);
    ~ClaimLock();
    ClaimLock(const ClaimLock&) = delete;
    ClaimLock& operator=(const ClaimLock&) = delete;

    // Tries until the claim is won or timeoutMs of real time has passed (0: one try; -1: no
    // limit). Real time, because the holder is another process that no test clock controls.
    bool Acquire(std::int32_t timeoutMs);
    void Release();
    bool Held() const { return m_handle != kNotHeld; }

private:
    static constexpr std::intptr_t kNotHeld = -1;

    bool TryOnce(); // one attempt; true when held afterwards

    std::u16string m_deviceName;
    std::intptr_t m_handle = kNotHeld; // the socket or the event handle while held
};

}
