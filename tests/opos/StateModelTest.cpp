// The OPOS state model as seen through the control: what each method answers in each state.
#include "tests/opos/ScaleTestSupport.h"

#include <array>

using namespace opos;
using ScaleStateModel = FakeScaleTest;

TEST_F(ScaleStateModel, EachMethodAnswersAccordingToTheDeviceState)
{
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
    for (const auto& row : rows) {
        for (int state = 0; state < 4; ++state) {
            SCOPED_TRACE(std::string(row.member) + " after " + std::to_string(state) + " of open, claim, enable");
            ASSERT_TRUE(scale.Enable(name, state));
            EXPECT_EQ(row.call(scale), row.expected[state]);
            EXPECT_EQ(service->ResultCode(), row.expected[state]);
            scale.Close();
        }
    }
    SysFreeString(text);
}

TEST_F(ScaleStateModel, OpenRefusesEmptyUnknownAndSecondNamesAndClaimRefusesNegativeTimeOutsButForever)
{
    EXPECT_EQ(ScaleDriver().Description(), "Tarabo OPOS scale control: no device open");
    EXPECT_EQ(scale.Open(""), OPOS_E_NOEXIST);
    EXPECT_EQ(scale.Open("NO-SUCH-SCALE"), OPOS_E_NOEXIST);
    EXPECT_EQ(scale.Close(), OPOS_E_CLOSED) << "a failed open leaves the control closed";
    EXPECT_EQ(scale.Open(name), OPOS_SUCCESS);
    EXPECT_EQ(scale.Open("NO-SUCH-SCALE"), OPOS_E_ILLEGAL);
    EXPECT_EQ(scale.Description(), "Fake test scale") << "the first device stays open";
    EXPECT_EQ(scale.MaximumWeight(), FakeScaleDevice::kCapacity);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_GRAM);
    EXPECT_EQ(scale.Claim(-2), OPOS_E_ILLEGAL);
    ASSERT_EQ(scale.Claim(-1), OPOS_SUCCESS);
    scale.SetDeviceEnabled(true);
    ASSERT_EQ(scale.Release(), OPOS_SUCCESS);
    LONG weight = 0;
    ASSERT_EQ(scale.Claim(-1), OPOS_SUCCESS);
    EXPECT_EQ(scale.ReadWeight(weight, 0), OPOS_E_DISABLED) << "release disabled; claiming again does not enable";
    ASSERT_EQ(scale.Close(), OPOS_SUCCESS);
    EXPECT_EQ(scale.MaximumWeight(), 0) << "closing forgets the device";
}
