// The scripted service the console's tests put behind the control.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

using namespace opos;

namespace {

class ScriptedScaleBehindControl : public ::testing::Test
{
protected:
    std::shared_ptr<ScriptedScale> script = std::make_shared<ScriptedScale>();
    ServiceOverride guard{script};
    ScaleDriver scale;
};

}

TEST_F(ScriptedScaleBehindControl, RecordsEveryCallInOrderAsText)
{
    LONG weight = 7, data = 3;
    BSTR text = SysAllocString(u"hi");
    scale.Open("K350");
    scale.Claim(1000);
    scale.SetDeviceEnabled(true);
    scale.ReadWeight(weight, 1000);
    scale.DirectIO(4, data, text);
    scale.DirectIO(4, data, text);
    scale.ClearInput();
    scale.Description();
    scale.MaximumWeight();
    scale.WeightUnit();
    scale.SetDeviceEnabled(false);
    scale.Release();
    scale.Close();
    SysFreeString(text);
    const std::vector<std::string> expected = {
        "Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "ReadWeight(7,1000)", "DirectIO(4,3,\"hi\")",
        "DirectIO(4,0,null)", "ClearInput()", "GetDescription", "GetMaximumWeight", "GetWeightUnit",
        "SetDeviceEnabled(false)", "Release()", "Close()"};
    EXPECT_EQ(script->Calls(), expected);
    script->ClearCalls();
    EXPECT_TRUE(script->Calls().empty());
}

TEST_F(ScriptedScaleBehindControl, AnswersFromItsQueueThenFromTheDefault)
{
    EXPECT_EQ(scale.Open("K350"), OPOS_SUCCESS) << "unscripted calls succeed";
    script->Queue("Claim", Answer{.result = OPOS_E_TIMEOUT});
    script->Queue("Claim", Answer{.result = OPOS_E_ILLEGAL});
    script->SetDefault("Claim", Answer{.result = OPOS_E_CLOSED});
    EXPECT_EQ(scale.Claim(10), OPOS_E_TIMEOUT);
    EXPECT_EQ(scale.Claim(10), OPOS_E_ILLEGAL);
    EXPECT_EQ(scale.Claim(10), OPOS_E_CLOSED);
    EXPECT_EQ(scale.Claim(10), OPOS_E_CLOSED);
    EXPECT_EQ(scale.Release(), OPOS_SUCCESS) << "scripts are per member";
}

TEST_F(ScriptedScaleBehindControl, ReadWeightSetsTheWeightOnlyOnSuccess)
{
    script->Queue("ReadWeight", Answer{.result = OPOS_SUCCESS, .weight = 1250});
    script->Queue("ReadWeight", Answer{.result = OPOS_E_TIMEOUT, .weight = 999});
    LONG weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 500), OPOS_SUCCESS);
    EXPECT_EQ(weight, 1250);
    EXPECT_EQ(scale.ReadWeight(weight, 500), OPOS_E_TIMEOUT);
    EXPECT_EQ(weight, 1250);
    EXPECT_EQ(script->Calls().back(), "ReadWeight(1250,500)");
}

TEST_F(ScriptedScaleBehindControl, DelaysBlockThroughTheOposClock)
{
    ManualClock clock{0};
    ClockOverride clockGuard(clock);
    script->Queue("ReadWeight", Answer{.weight = 5, .delayMs = 4000});
    script->Queue("GetWeightUnit", Answer{.delayMs = 250});
    LONG weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 5000), OPOS_SUCCESS);
    EXPECT_EQ(clock.NowMs(), 4000);
    scale.WeightUnit();
    EXPECT_EQ(clock.NowMs(), 4250);
}

TEST_F(ScriptedScaleBehindControl, PropertiesFollowTheirMembersAndFailOnlyWhenScripted)
{
    script->description = u"First";
    script->maximumWeight = 30000;
    script->weightUnit = SCAL_WU_POUND;
    EXPECT_EQ(scale.Description(), "First");
    EXPECT_EQ(scale.MaximumWeight(), 30000);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_POUND);
    script->description = u"Second";
    script->Queue("GetMaximumWeight", Answer{.raise = true});
    script->Queue("GetWeightUnit", Answer{.result = 77});
    EXPECT_EQ(scale.Description(), "Second");
    EXPECT_THROW(scale.MaximumWeight(), COleDispatchException);
    EXPECT_EQ(scale.MaximumWeight(), 30000);
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_POUND) << "a property's answer carries no value of its own";
}

TEST_F(ScriptedScaleBehindControl, RaisedMethodIsStillRecorded)
{
    script->Queue("Open", Answer{.raise = true});
    EXPECT_THROW(scale.Open("K350"), COleDispatchException);
    EXPECT_EQ(script->Calls(), std::vector<std::string>{"Open(K350)"});
}

TEST(ServiceOverrideGuard, SharesOneServiceAmongControlsAndRestoresTheStandardOne)
{
    auto script = std::make_shared<ScriptedScale>();
    {
        ServiceOverride guard(script);
        ScaleDriver first, second;
        first.Close();
        second.Release();
        auto inner = std::make_shared<ScriptedScale>();
        {
            ServiceOverride nested(inner);
            ScaleDriver third;
            third.ClearInput();
        }
        ScaleDriver fourth;
        fourth.Claim(1);
        EXPECT_EQ(inner->Calls(), std::vector<std::string>{"ClearInput()"});
    }
    EXPECT_EQ(script->Calls(), (std::vector<std::string>{"Close()", "Release()", "Claim(1)"}));
    ScaleDriver standard;
    EXPECT_EQ(standard.Description(), "Tarabo OPOS scale control: no device open");
    EXPECT_EQ(standard.Close(), OPOS_E_CLOSED);
}
