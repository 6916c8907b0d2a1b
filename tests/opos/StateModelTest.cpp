// The OPOS state model as seen through the control: what each method answers in each state.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

#include <array>

using namespace opos;

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
};

}

TEST_F(ScaleStateModel, EachMethodAnswersAccordingToTheDeviceState)
{
    std::shared_ptr<StandardScaleService> service;
    LONG data = 0, weight = 0;
    BSTR text = nullptr;
    const struct { const char* member; std::function<LONG(ScaleDriver&)> call; std::array<LONG, 4> expected; } rows[] = {
        // closed, opened, claimed, enabled
        {"Open", [&](ScaleDriver& s) { return s.Open(name); },
         {OPOS_SUCCESS, OPOS_E_ILLEGAL, OPOS_E_ILLEGAL, OPOS_E_ILLEGAL}},
        {"Close", &ScaleDriver::Close, {OPOS_E_CLOSED, OPOS_SUCCESS, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"Claim", [](ScaleDriver& s) { return s.Claim(0); }, {OPOS_E_CLOSED, OPOS_SUCCESS, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"Release", &ScaleDriver::Release, {OPOS_E_CLOSED, OPOS_E_ILLEGAL, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"ClearInput", &ScaleDriver::ClearInput, {OPOS_E_CLOSED, OPOS_E_NOTCLAIMED, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"DirectIO", [&](ScaleDriver& s) { return s.DirectIO(4, data, text); },
         {OPOS_E_CLOSED, OPOS_SUCCESS, OPOS_SUCCESS, OPOS_SUCCESS}},
        {"ReadWeight", [&](ScaleDriver& s) { return s.ReadWeight(weight, 0); },
         {OPOS_E_CLOSED, OPOS_E_NOTCLAIMED, OPOS_E_DISABLED, OPOS_SUCCESS}},
        {"DeviceEnabled", [&](ScaleDriver& s) { return s.SetDeviceEnabled(true), service->ResultCode(); },
         {OPOS_E_CLOSED, OPOS_E_NOTCLAIMED, OPOS_SUCCESS, OPOS_SUCCESS}},
    };
    const char* const stateNames[] = {"closed", "opened", "claimed", "enabled"};
    for (const auto& row : rows) {
        for (int state = 0; state < 4; ++state) {
            SCOPED_TRACE(std::string(row.member) + " when " + stateNames[state]);
            service = std::make_shared<StandardScaleService>();
            ServiceOverride guard(service);
            ScaleDriver scale;
            ASSERT_TRUE(scale.Enable(name, state));
            EXPECT_EQ(row.call(scale), row.expected[state]);
            EXPECT_EQ(service->ResultCode(), row.expected[state]);
        }
    }
    SysFreeString(text);
}

TEST_F(ScaleStateModel, ControlClassIdMatchesInAnyCaseAndOpenRefusesEmptyAndUnknownNamesAndASecondOpen)
{
    const auto control = AfxCreateControlInstance("{83029fa3-4740-11cf-88f3-02608ca3be43}");
    ASSERT_NE(dynamic_cast<COposScaleControl*>(control.get()), nullptr);
    ScaleDriver scale;
    EXPECT_EQ(scale.Description(), "Tarabo OPOS scale control: no device open") << "the standard service";
    EXPECT_EQ(scale.Open(""), OPOS_E_NOEXIST);
    EXPECT_EQ(scale.Open("NO-SUCH-SCALE"), OPOS_E_NOEXIST);
    EXPECT_EQ(scale.Close(), OPOS_E_CLOSED) << "a failed open leaves the control closed";
    EXPECT_EQ(scale.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(scale.Open("NO-SUCH-SCALE"), OPOS_E_ILLEGAL);
    EXPECT_EQ(scale.Description(), "Fake test scale") << "the first device stays open";
    EXPECT_EQ(scale.MaximumWeight(), 15000);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_GRAM);
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    EXPECT_EQ(scale.MaximumWeight(), 0) << "closing forgets the device";
}

TEST_F(ScaleStateModel, ClaimIsExclusiveReleaseDisablesAndCloseGivesTheClaimUp)
{
    ScaleDriver first, second;
    ASSERT_EQ(second.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(second.Claim(-2), OPOS_E_ILLEGAL) << "forever is the only negative time-out";
    ASSERT_TRUE(first.Enable(name)) << "the illegal claim claimed nothing";
    EXPECT_EQ(second.Claim(50), OPOS_E_TIMEOUT);
    EXPECT_EQ(first.Release(), OPOS_SUCCESS);
    LONG weight = 0;
    ASSERT_EQ(first.Claim(-1), OPOS_SUCCESS);
    EXPECT_EQ(first.ReadWeight(weight, 0), OPOS_E_DISABLED) << "claiming again does not re-enable";
    ASSERT_EQ(first.Close(), OPOS_SUCCESS);
    EXPECT_EQ(second.Claim(0), OPOS_SUCCESS) << "closing gave up the claim";
}
