// The exclusive claim of one logical device, shared by every process on the machine.
//
// Holding the claim means holding a Unix socket bound to an abstract-namespace name derived from
// the device name ("\0tarabo-opos-claim-K350"). The kernel drops the name as soon as the socket
// closes, including when the holder exits or crashes, and nothing is ever written to disk.
#pragma once

#include "AfxTypes.h"

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
    bool Acquire(LONG timeoutMs);
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    bool TryOnce();

    std::string m_address; // sun_path contents, starting with the zero byte
    int m_fd = -1;
};

}
