// The OPOS state model as seen through the control: what each method answers in each state.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

#include <array>

using namespace opos;
using State = StandardScaleService::State;

namespace {

class ScaleStateModel : public ::testing::Test
{
protected:
    ManualClock clock{0};
    ClockOverride clockGuard{clock};
    std::string name = UniqueName("STATE");
    DeviceInstallation device{Wide(name), [] {
        return std::make_unique<FakeScaleDevice>([](std::int64_t) { return ScaleReading{1250, true}; }, 15000);
    }};

    // Brings a fresh control to the state, or fails the test.
    void BringTo(ScaleDriver& scale, State state)
    {
        if (state >= State::Opened) {
            ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
        }
        if (state >= State::Claimed) {
            ASSERT_EQ(scale.Claim(0), OPOS_SUCCESS);
        }
        if (state >= State::Enabled)
            scale.SetDeviceEnabled(true);
    }
};

struct StateRow
{
    const char* member;
    std::function<LONG(ScaleDriver&, StandardScaleService&, const std::string& name)> call;
    std::array<LONG, 4> expected; // closed, opened, claimed, enabled
};

const char* const kStateNames[] = {"closed", "opened", "claimed", "enabled"};

}

TEST_F(ScaleStateModel, EachMethodAnswersAccordingToTheDeviceState)
{
    const StateRow rows[] = {
        {"Open", [](ScaleDriver& s, StandardScaleService&, const std::string& n) { return s.Open(n); },
         {OPOS_SUCCESS, OPOS_E_ILLEGAL, OPOS_E_ILLEGAL, OPOS_E_ILLEGAL}},
        {"Close", [](ScaleDriver& s, StandardScaleService&, const std::string&) { return s.Close(); },
         {OPOS_E_CLOSED, OPOS_SUCCESS, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"Claim", [](ScaleDriver& s, StandardScaleService&, const std::string&) { return s.Claim(0); },
         {OPOS_E_CLOSED, OPOS_SUCCESS, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"Release", [](ScaleDriver& s, StandardScaleService&, const std::string&) { return s.Release(); },
         {OPOS_E_CLOSED, OPOS_E_ILLEGAL, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"ClearInput", [](ScaleDriver& s, StandardScaleService&, const std::string&) { return s.ClearInput(); },
         {OPOS_E_CLOSED, OPOS_E_NOTCLAIMED, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"DirectIO",
         [](ScaleDriver& s, StandardScaleService&, const std::string&) {
             LONG data = 0;
             BSTR text = nullptr;
             const LONG result = s.DirectIO(4, data, text);
             SysFreeString(text);
             return result;
         },
         {OPOS_E_CLOSED, OPOS_SUCCESS, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"ReadWeight",
         [](ScaleDriver& s, StandardScaleService&, const std::string&) {
             LONG weight = 0;
             return s.ReadWeight(weight, 0);
         },
         {OPOS_E_CLOSED, OPOS_E_NOTCLAIMED, OPOS_E_DISABLED, OPOS_SUCCESS}},
        {"DeviceEnabled",
         [](ScaleDriver& s, StandardScaleService& service, const std::string&) {
             s.SetDeviceEnabled(true);
             return service.ResultCode();
         },
         {OPOS_E_CLOSED, OPOS_E_NOTCLAIMED, OPOS_SUCCESS, OPOS_SUCCESS}},
    };
    for (const StateRow& row : rows) {
        for (int state = 0; state < 4; ++state) {
            SCOPED_TRACE(std::string(row.member) + " when " + kStateNames[state]);
            auto service = std::make_shared<StandardScaleService>();
            ServiceOverride guard(service);
            ScaleDriver scale;
            BringTo(scale, State(state));
            EXPECT_EQ(row.call(scale, *service, name), row.expected[state]);
            EXPECT_EQ(service->ResultCode(), row.expected[state]);
        }
    }
}

TEST_F(ScaleStateModel, OpenRefusesEmptyAndUnknownNamesAndASecondOpen)
{
    ScaleDriver scale;
    EXPECT_EQ(scale.Open(""), OPOS_E_NOEXIST);
    EXPECT_EQ(scale.Open("NO-SUCH-SCALE"), OPOS_E_NOEXIST);
    EXPECT_EQ(scale.Close(), OPOS_E_CLOSED) << "a failed open leaves the control closed";
    EXPECT_EQ(scale.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(scale.Open(name), OPOS_E_ILLEGAL);
    EXPECT_EQ(scale.Open("NO-SUCH-SCALE"), OPOS_E_ILLEGAL);
    EXPECT_EQ(scale.Description(), "Fake test scale") << "the first device stays open";
}

TEST_F(ScaleStateModel, ReleaseDisablesAndCloseReleasesTheClaim)
{
    ScaleDriver first;
    BringTo(first, State::Enabled);
    LONG weight = 0;
    EXPECT_EQ(first.Release(), OPOS_SUCCESS);
    EXPECT_EQ(first.ReadWeight(weight, 0), OPOS_E_NOTCLAIMED);
    ASSERT_EQ(first.Claim(0), OPOS_SUCCESS);
    EXPECT_EQ(first.ReadWeight(weight, 0), OPOS_E_DISABLED) << "claiming again does not re-enable";

    first.SetDeviceEnabled(true);
    ASSERT_EQ(first.Close(), OPOS_SUCCESS);
    ScaleDriver second;
    ASSERT_EQ(second.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(second.Claim(0), OPOS_SUCCESS) << "closing gave up the claim";
    EXPECT_EQ(first.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(first.Claim(0), OPOS_E_TIMEOUT);
}

TEST_F(ScaleStateModel, ClaimAcceptsOnlyForeverAmongNegativeTimeouts)
{
    ScaleDriver scale;
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(scale.Claim(-2), OPOS_E_ILLEGAL);
    EXPECT_EQ(scale.Release(), OPOS_E_ILLEGAL) << "the illegal claim claimed nothing";
    EXPECT_EQ(scale.Claim(-1), OPOS_SUCCESS);
    EXPECT_EQ(scale.Claim(-1), OPOS_SUCCESS) << "claiming again is harmless";
}

TEST_F(ScaleStateModel, SecondControlWaitsForTheClaimThenTimesOut)
{
    ScaleDriver holder, other;
    BringTo(holder, State::Claimed);
    ASSERT_EQ(other.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(other.Claim(50), OPOS_E_TIMEOUT);
    EXPECT_EQ(other.ClearInput(), OPOS_E_NOTCLAIMED);
    ASSERT_EQ(holder.Release(), OPOS_SUCCESS);
    EXPECT_EQ(other.Claim(0), OPOS_SUCCESS);
    EXPECT_EQ(holder.Claim(0), OPOS_E_TIMEOUT);
}

TEST_F(ScaleStateModel, PropertiesAnswerInEveryStateFromTheOpenDevice)
{
    ScaleDriver scale;
    EXPECT_EQ(scale.Description(), "Tarabo OPOS scale control: no device open");
    EXPECT_EQ(scale.MaximumWeight(), 0);
    EXPECT_EQ(scale.WeightUnit(), 0);
    for (State state : {State::Opened, State::Claimed, State::Enabled}) {
        ScaleDriver opened;
        BringTo(opened, state);
        EXPECT_EQ(opened.Description(), "Fake test scale");
        EXPECT_EQ(opened.MaximumWeight(), 15000);
        EXPECT_EQ(opened.WeightUnit(), SCAL_WU_GRAM);
    }
    ASSERT_EQ(scale.Open(name), OPOS_SUCCESS);
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    EXPECT_EQ(scale.MaximumWeight(), 0) << "closing forgets the device";
}
