// The exclusive claim between processes: a helper process holds the scale while this one tries to
// claim it. Both sides use the standard service, the part that keeps the claim.
#include "tests/opos/ChildProcess.h"
#include "opos/DeviceRegistry.h"
#include "opos/ResultCodes.h"
#include "opos/SimulatedK350.h"
#include "opos/StandardScaleService.h"

#include <gtest/gtest.h>

#include <chrono>

#include <unistd.h>

using namespace opos;

namespace {

// A logical name no other test process uses, so parallel test runs never contend for it.
std::string UniqueName(const std::string& base) { return base + "-test-" + std::to_string(::getpid()); }

class ClaimHolder : public ChildProcess
{
public:
    explicit ClaimHolder(const std::string& name, const std::string& claimTimeoutMs = "5000")
        : ChildProcess(OPOS_CLAIM_HOLDER, {name, claimTimeoutMs}) {}
};

class ClaimAcrossProcesses : public ::testing::Test
{
protected:
    std::string name = UniqueName("K350");
    std::u16string wide{name.begin(), name.end()};
    DeviceOverride device{wide, [] { return std::make_unique<SimulatedK350>(0); }};
    StandardScaleService scale;
};

}

TEST_F(ClaimAcrossProcesses, HeldClaimTimesOutAndIsFreeAtOnceWhenTheHolderIsKilledReleasesOrCloses)
{
    for (const std::string how : {"kill", "release", "close"}) {
        SCOPED_TRACE(how);
        ClaimHolder holder(name);
        ASSERT_EQ(holder.ReadLine(), "claimed");
        ASSERT_EQ(scale.Open(wide), OPOS_SUCCESS);
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

TEST_F(ClaimAcrossProcesses, ASecondServiceInTheSameProcessWaitsAndOtherNamesAreIndependent)
{
    ASSERT_EQ(scale.Open(wide), OPOS_SUCCESS);
    ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
    StandardScaleService second;
    ASSERT_EQ(second.Open(wide), OPOS_SUCCESS);
    EXPECT_EQ(second.Claim(0), OPOS_E_TIMEOUT);
    EXPECT_EQ(ClaimHolder(name + "-other").ReadLine(), "claimed") << "a claim on another name is no obstacle";
    EXPECT_EQ(ClaimHolder(name, "0").ReadLine(), "failed");
    ASSERT_EQ(scale.Release(), OPOS_SUCCESS);
    EXPECT_EQ(second.Claim(0), OPOS_SUCCESS);
}
