#include "ClaimLock.h"

#include "Utf8.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace opos {

namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(20);
}

ClaimLock::ClaimLock(const std::u16string& deviceName)
{
    m_address = std::string(1, '\0') + "tarabo-opos-claim-" + Utf8FromUtf16(deviceName);
    m_address.resize(std::min(m_address.size(), sizeof(sockaddr_un::sun_path)));
}

ClaimLock::~ClaimLock() { Release(); }

bool ClaimLock::Acquire(LONG timeoutMs)
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

void ClaimLock::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ClaimLock::TryOnce()
{
    if (m_fd >= 0)
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, m_address.data(), m_address.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + m_address.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

}
