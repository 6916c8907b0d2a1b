// The claim as a Unix socket bound to an abstract-namespace name.
#include "opos/ClaimLock.h"

#include "opos/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace opos {

void ClaimLock::Release()
{
    if (Held())
        ::close(int(m_handle));
    m_handle = kNotHeld;
}

bool ClaimLock::TryOnce()
{
    if (Held())
        return true;
    std::string address = std::string(1, '\0') + "tarabo-opos-claim-" + Utf8FromUtf16(m_deviceName);
    address.resize(std::min(address.size(), sizeof(sockaddr_un::sun_path)));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, address.data(), address.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + address.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
        ::close(fd);
        return false;
    }
    m_handle = fd;
    return true;
}

}
