// The exclusive claim between two processes: a helper process holds the scale while this one
// tries to claim it.
#include "ScaleTestSupport.h"

#include <chrono>
#include <csignal>

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>

using namespace opos;

namespace {

// The helper process, talked to over one socket that is both its standard input and output.
class ClaimHolder
{
public:
    explicit ClaimHolder(const std::string& name, const char* claimTimeoutMs = "5000")
    {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        if ((m_pid = ::fork()) == 0) {
            ::dup2(fds[1], STDIN_FILENO);
            ::dup2(fds[1], STDOUT_FILENO);
            ::execl(OPOS_CLAIM_HOLDER, OPOS_CLAIM_HOLDER, name.c_str(), claimTimeoutMs, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        m_fd = fds[0];
    }
    ~ClaimHolder() { Kill(), ::close(m_fd); }

    void Send(std::string line)
    {
        line += '\n';
        EXPECT_EQ(::write(m_fd, line.data(), line.size()), ssize_t(line.size()));
    }

    // The next line the helper printed; empty if none came within five seconds.
    std::string ReadLine()
    {
        std::string line;
        char c = 0;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, 5000) == 1 && ::read(m_fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    void Kill()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL), ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
};

}

TEST(ClaimAcrossProcesses, HeldClaimTimesOutAndIsFreeAtOnceWhenTheHolderIsKilledReleasesOrCloses)
{
    const std::string name = UniqueName("K350");
    DeviceInstallation device(Wide(name), [] { return std::make_unique<SimulatedK350>(CurrentClock().NowMs()); });
    ScaleDriver scale;
    for (const std::string how : {"kill", "release", "close"}) {
        SCOPED_TRACE(how);
        ClaimHolder holder(name);
        ASSERT_EQ(holder.ReadLine(), "claimed");
        ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(scale.Claim(200), OPOS_E_TIMEOUT);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190)) << "the claim waited";
        how == "kill" ? holder.Kill() : holder.Send(how);
        EXPECT_EQ(scale.Claim(how == "kill" ? 0 : -1), OPOS_SUCCESS);
        EXPECT_EQ(holder.ReadLine(), how == "kill" ? "" : how + "d 0");
        EXPECT_EQ(ClaimHolder(name, "100").ReadLine(), "failed") << "another process cannot claim it now";
        ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}
