// The exclusive claim between two processes: a helper process holds the scale while this one
// tries to claim it.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace opos;

namespace {

// The helper process, talked to over its standard input and output.
class ClaimHolder
{
public:
    explicit ClaimHolder(const std::string& name, const std::string& claimTimeoutMs = "5000")
    {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], STDIN_FILENO);
            ::dup2(fromChild[1], STDOUT_FILENO);
            ::execl(OPOS_CLAIM_HOLDER, OPOS_CLAIM_HOLDER, name.c_str(), claimTimeoutMs.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_in = toChild[1];
        m_out = fromChild[0];
    }

    ~ClaimHolder()
    {
        Kill();
        ::close(m_in);
        ::close(m_out);
    }

    void Send(const std::string& line)
    {
        const std::string text = line + "\n";
        EXPECT_EQ(::write(m_in, text.data(), text.size()), ssize_t(text.size()));
    }

    // The next line the helper printed; empty if none came within five seconds.
    std::string ReadLine()
    {
        std::string line;
        char c = 0;
        pollfd p{m_out, POLLIN, 0};
        while (::poll(&p, 1, 5000) == 1 && ::read(m_out, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    void Kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
};

long elapsedMs(std::chrono::steady_clock::time_point since)
{
    using namespace std::chrono;
    return long(duration_cast<milliseconds>(steady_clock::now() - since).count());
}

class ClaimAcrossProcesses : public ::testing::Test
{
protected:
    std::string name = UniqueName("K350");
    DeviceInstallation device{Wide(name), [] { return std::make_unique<SimulatedK350>(CurrentClock().NowMs()); }};
    ScaleDriver scale;
};

}

TEST_F(ClaimAcrossProcesses, WaitsOutItsTimeoutWhileHeldAndClaimsAtOnceWhenTheHolderIsKilled)
{
    ClaimHolder holder(name);
    ASSERT_EQ(holder.ReadLine(), "claimed");
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(scale.Claim(300), OPOS_E_TIMEOUT);
    EXPECT_GE(elapsedMs(start), 290) << "the claim waited for the holder";

    holder.Kill();
    EXPECT_EQ(scale.Claim(0), OPOS_SUCCESS);
}

TEST_F(ClaimAcrossProcesses, HolderReleasingOrClosingFreesTheClaim)
{
    for (const std::string command : {"release", "close"}) {
        SCOPED_TRACE(command);
        ClaimHolder holder(name);
        ASSERT_EQ(holder.ReadLine(), "claimed");
        ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
        EXPECT_EQ(scale.Claim(0), OPOS_E_TIMEOUT);
        holder.Send(command);
        EXPECT_EQ(holder.ReadLine(), command + "d 0");
        EXPECT_EQ(scale.Claim(0), OPOS_SUCCESS);
        ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    }
}

TEST_F(ClaimAcrossProcesses, ClaimWaitingForeverGetsTheScaleWhenTheHolderLetsGo)
{
    ClaimHolder holder(name);
    ASSERT_EQ(holder.ReadLine(), "claimed");
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
    holder.Send("release");
    EXPECT_EQ(scale.Claim(-1), OPOS_SUCCESS);
    EXPECT_EQ(holder.ReadLine(), "released 0");
}

TEST_F(ClaimAcrossProcesses, HolderCannotClaimWhatThisProcessHolds)
{
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
    ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
    ClaimHolder holder(name, "100");
    EXPECT_EQ(holder.ReadLine(), "failed");
}
