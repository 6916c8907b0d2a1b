// The scripted service the console's tests put behind the control.
#include "ScaleTestSupport.h"

using namespace opos;
using Calls = std::vector<std::string>;

using ScriptedScaleBehindControl = ScriptedScaleTest;

TEST_F(ScriptedScaleBehindControl, RecordsEveryCallInOrderAsTextEvenWhenItRaises)
{
    script->Queue("Open", Answer{.raise = true});
    LONG weight = 7, data = 3;
    BSTR text = SysAllocString(OLESTR("hi"));
    EXPECT_THROW(scale.Open("K350"), COleDispatchException);
    scale.Claim(1000);
    scale.SetDeviceEnabled(true);
    scale.ReadWeight(weight, 1000);
    scale.DirectIO(4, data, text);
    scale.ClearInput();
    scale.Description();
    scale.SetDeviceEnabled(false);
    scale.Release();
    scale.Close();
    SysFreeString(text);
    EXPECT_EQ(script->Calls(),
              (Calls{"Open(K350)", "Claim(1000)", "SetDeviceEnabled(true)", "ReadWeight(7,1000)", "DirectIO(4,3,\"hi\")",
                     "ClearInput()", "GetDescription", "SetDeviceEnabled(false)", "Release()", "Close()"}));
    script->ClearCalls();
    EXPECT_TRUE(script->Calls().empty());
}

TEST_F(ScriptedScaleBehindControl, AnswersFromItsQueueThenFromTheDefaultAfterTheScriptedDelay)
{
    EXPECT_EQ(scale.Open("K350"), OPOS_SUCCESS) << "unscripted calls succeed";
    script->Queue("Claim", Answer{.result = OPOS_E_TIMEOUT});
    script->SetDefault("Claim", Answer{.result = OPOS_E_CLOSED});
    script->Queue("ReadWeight", Answer{.result = OPOS_SUCCESS, .weight = 1250, .delayMs = 4000});
    script->Queue("ReadWeight", Answer{.result = OPOS_E_TIMEOUT, .weight = 999});
    for (LONG expected : {OPOS_E_TIMEOUT, OPOS_E_CLOSED, OPOS_E_CLOSED})
        EXPECT_EQ(scale.Claim(10), expected);
    EXPECT_EQ(scale.Release(), OPOS_SUCCESS) << "scripts are per member";
    LONG weight = 0;
    EXPECT_EQ(scale.ReadWeight(weight, 500), OPOS_SUCCESS);
    EXPECT_EQ(clock.NowMs(), 4000) << "the delay blocks through the opos clock";
    EXPECT_EQ(weight, 1250);
    EXPECT_EQ(scale.ReadWeight(weight, 500), OPOS_E_TIMEOUT);
    EXPECT_EQ(weight, 1250) << "the weight is set only on success";

    script->description = u"First";
    script->weightUnit = SCAL_WU_POUND;
    script->Queue("GetMaximumWeight", Answer{.raise = true});
    script->Queue("GetWeightUnit", Answer{.result = 77, .delayMs = 250});
    EXPECT_EQ(scale.Description(), "First");
    EXPECT_THROW(scale.MaximumWeight(), COleDispatchException) << "a property fails only when scripted to";
    EXPECT_EQ(scale.WeightUnit(), SCAL_WU_POUND) << "a property's answer carries no value of its own";
    EXPECT_EQ(clock.NowMs(), 4250) << "a property's delay blocks too";
}
