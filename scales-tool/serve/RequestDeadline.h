// The whole request within a deadline. The HTTP library bounds each read of a connection, not the
// request: a client that sends its headers a byte at a time would keep a worker as long as it likes.
// A watchdog looks at the connections accepted on serve's port twice a second and shuts those whose
// request has not reached routing within the deadline; a routed request (a read, a live stream)
// keeps its connection.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace serve {

class RequestDeadline
{
public:
    ~RequestDeadline() { Stop(); }
    void Start(int port, int deadlineMs);
    void Stop();
    // The request from `address`:`port` (as the library names the remote end) was read whole.
    void Routed(const std::string& address, int port);

private:
    struct Connection
    {
        std::string peer;
        long long firstSeenMs;
        bool shut;
    };
    void Watch();
    void Sweep();

    int m_port = 0, m_deadlineMs = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::map<int, Connection> m_connections; // by descriptor
    std::set<std::string> m_routed;          // peers whose request reached routing
    std::thread m_thread;
};

}
