#include "scales-tool/serve/RequestDeadline.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace serve {

namespace {
long long steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string peerKey(const std::string& address, int port) { return address + " " + std::to_string(port); }

// "address port" of the far end of `fd` when it is a connection accepted on `port`; empty otherwise
// (not a socket, a listening socket, a Unix socket of a scale, a connection of another port).
std::string acceptedPeer(int fd, int port)
{
    sockaddr_storage local{}, remote{};
    socklen_t localLength = sizeof local, remoteLength = sizeof remote;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0
        || ::getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &remoteLength) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (local.ss_family == AF_INET && remote.ss_family == AF_INET) {
        const auto& mine = reinterpret_cast<const sockaddr_in&>(local);
        const auto& theirs = reinterpret_cast<const sockaddr_in&>(remote);
        if (ntohs(mine.sin_port) != port || !::inet_ntop(AF_INET, &theirs.sin_addr, text, sizeof text))
            return {};
        return peerKey(text, ntohs(theirs.sin_port));
    }
    if (local.ss_family == AF_INET6 && remote.ss_family == AF_INET6) {
        const auto& mine = reinterpret_cast<const sockaddr_in6&>(local);
        const auto& theirs = reinterpret_cast<const sockaddr_in6&>(remote);
        if (ntohs(mine.sin6_port) != port || !::inet_ntop(AF_INET6, &theirs.sin6_addr, text, sizeof text))
            return {};
        return peerKey(text, ntohs(theirs.sin6_port));
    }
    return {};
}
}

void RequestDeadline::Start(int port, int deadlineMs)
{
    m_port = port;
    m_deadlineMs = deadlineMs;
    m_stop = false;
    m_thread = std::thread([this] { Watch(); });
}

void RequestDeadline::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void RequestDeadline::Routed(const std::string& address, int port)
{
    std::lock_guard lock(m_mutex);
    m_routed.insert(peerKey(address, port));
}

void RequestDeadline::Watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(250), [this] { return m_stop; }))
        Sweep();
}

// Called with the mutex held. Descriptors are listed afresh each time, so a connection that
// closed drops out, and a number taken again by a new connection counts as new.
void RequestDeadline::Sweep()
{
    std::map<int, Connection> now;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const int fd = std::atoi(entry.path().filename().c_str());
        const std::string peer = acceptedPeer(fd, m_port);
        if (peer.empty())
            continue;
        const auto known = m_connections.find(fd);
        now[fd] = known != m_connections.end() && known->second.peer == peer ? known->second
                                                                             : Connection{peer, steadyMs(), false};
    }
    std::set<std::string> routed;
    for (auto& [fd, connection] : now) {
        if (m_routed.count(connection.peer)) {
            routed.insert(connection.peer);
            continue;
        }
        if (!connection.shut && steadyMs() - connection.firstSeenMs > m_deadlineMs) {
            ::shutdown(fd, SHUT_RDWR); // the worker's read ends, and the library closes it
            connection.shut = true;
        }
    }
    m_connections = std::move(now);
    m_routed = std::move(routed);
}

}
