// The control's automation surface: member lookup, argument checks, raised failures and who owns
// which string.
#include "ScaleTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace opos;

namespace {

VARIANT longArg(LONG v)
{
    VARIANT a;
    a.vt = VT_I4;
    a.lVal = v;
    return a;
}

VARIANT boolArg(bool v)
{
    VARIANT a;
    a.vt = VT_BOOL;
    a.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return a;
}

VARIANT nullBstrArg()
{
    VARIANT a;
    a.vt = VT_BSTR;
    a.bstrVal = nullptr;
    return a;
}

template <class T>
VARIANT refArg(VARTYPE vt, T* p)
{
    VARIANT a;
    a.vt = VARTYPE(vt | VT_BYREF);
    if constexpr (std::is_same_v<T, LONG>)
        a.plVal = p;
    else
        a.pbstrVal = p;
    return a;
}

class ScaleDispatch : public ::testing::Test
{
protected:
    std::shared_ptr<ScriptedScale> script = std::make_shared<ScriptedScale>();
    ServiceOverride guard{script};
    ScaleDriver scale;
    long liveAtStart = AfxLiveBstrCount();

    HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
                   EXCEPINFO* info = nullptr)
    {
        return scale.control()->Invoke(id, flags, args, result, info);
    }
};

struct BadCall
{
    const char* what;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    HRESULT expected;
};

}

TEST_F(ScaleDispatch, RejectsUnknownMembersWrongKindsCountsAndTypesWithoutCallingTheService)
{
    LONG l = 0;
    BSTR b = nullptr;
    const BadCall calls[] = {
        {"unknown id", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
        {"id zero", 0, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {"get of a method", dispid::Open, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {"put of read-only", dispid::Description, DISPATCH_PROPERTYPUT, {nullBstrArg()}, DISP_E_MEMBERNOTFOUND},
        {"get of write-only", dispid::DeviceEnabled, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {"property as method", dispid::MaximumWeight, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
        {"too few", dispid::Claim, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT},
        {"too many", dispid::Close, DISPATCH_METHOD, {longArg(1)}, DISP_E_BADPARAMCOUNT},
        {"DirectIO short", dispid::DirectIO, DISPATCH_METHOD, {longArg(4), refArg(VT_I4, &l)}, DISP_E_BADPARAMCOUNT},
        {"put without value", dispid::DeviceEnabled, DISPATCH_PROPERTYPUT, {}, DISP_E_BADPARAMCOUNT},
        {"string for long", dispid::Claim, DISPATCH_METHOD, {nullBstrArg()}, DISP_E_TYPEMISMATCH},
        {"long for string", dispid::Open, DISPATCH_METHOD, {longArg(1)}, DISP_E_TYPEMISMATCH},
        {"long for bool", dispid::DeviceEnabled, DISPATCH_PROPERTYPUT, {longArg(1)}, DISP_E_TYPEMISMATCH},
        {"weight by value", dispid::ReadWeight, DISPATCH_METHOD, {longArg(0), longArg(0)}, DISP_E_TYPEMISMATCH},
        {"arguments swapped", dispid::ReadWeight, DISPATCH_METHOD, {longArg(0), refArg(VT_I4, &l)}, DISP_E_TYPEMISMATCH},
        {"string by value", dispid::DirectIO, DISPATCH_METHOD, {longArg(4), refArg(VT_I4, &l), nullBstrArg()},
         DISP_E_TYPEMISMATCH},
        {"null reference", dispid::DirectIO, DISPATCH_METHOD,
         {longArg(4), refArg<LONG>(VT_I4, nullptr), refArg(VT_BSTR, &b)}, DISP_E_TYPEMISMATCH},
    };
    for (const BadCall& c : calls) {
        SCOPED_TRACE(c.what);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(Invoke(c.id, c.flags, c.args, &result), c.expected);
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    EXPECT_TRUE(script->Calls().empty());
}

TEST_F(ScaleDispatch, MembersReachTheServiceWithTheirArguments)
{
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Invoke(dispid::Claim, DISPATCH_METHOD, {longArg(250)}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    ASSERT_EQ(Invoke(dispid::DeviceEnabled, DISPATCH_PROPERTYPUT, {boolArg(false)}), S_OK);
    ASSERT_EQ(Invoke(dispid::DeviceEnabled, DISPATCH_PROPERTYPUT, {boolArg(true)}), S_OK);
    ASSERT_EQ(Invoke(dispid::Close, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, nullptr), S_OK)
        << "a method may be called with the combined flags and no result";
    ASSERT_EQ(Invoke(dispid::Open, DISPATCH_METHOD, {nullBstrArg()}), S_OK) << "a null string is an empty name";
    EXPECT_EQ(script->Calls(), (std::vector<std::string>{"Claim(250)", "SetDeviceEnabled(false)",
                                                         "SetDeviceEnabled(true)", "Close()", "Open()"}));
}

TEST_F(ScaleDispatch, ServiceFailureBecomesAnAutomationExceptionFromTheScaleSource)
{
    script->Queue("ReadWeight", Answer{.raise = true});
    LONG weight = 17;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info;
    EXPECT_EQ(Invoke(dispid::ReadWeight, DISPATCH_METHOD, {refArg(VT_I4, &weight), longArg(100)}, &result, &info),
              DISP_E_EXCEPTION);
    EXPECT_EQ(info.source, "Tarabo OPOS Scale");
    EXPECT_FALSE(info.description.empty());
    EXPECT_EQ(weight, 17);
    EXPECT_EQ(result.vt, VT_EMPTY);

    script->Queue("GetDescription", Answer{.raise = true});
    EXPECT_THROW(scale.Description(), COleDispatchException);
    EXPECT_EQ(Invoke(dispid::Close, DISPATCH_METHOD, {}), S_OK) << "the control still works afterwards";
}

TEST_F(ScaleDispatch, DirectIOStringByReferenceIsTakenOverAndReplaced)
{
    script->Queue("DirectIO", Answer{.data = 21, .string = u"reply"});
    script->Queue("DirectIO", Answer{.data = 0, .string = std::nullopt});
    script->Queue("DirectIO", Answer{.data = 3, .string = u""});
    LONG data = 5;
    BSTR text = SysAllocString(u"request");
    ASSERT_EQ(scale.DirectIO(4, data, text), 0);
    EXPECT_EQ(std::u16string(text, SysStringLen(text)), u"reply");
    EXPECT_EQ(data, 21);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart + 1) << "the request was freed; the reply is the caller's";

    ASSERT_EQ(scale.DirectIO(4, data, text), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);
    ASSERT_EQ(scale.DirectIO(4, data, text), 0);
    ASSERT_NE(text, nullptr) << "an empty reply is an empty string, not a null one";
    EXPECT_EQ(SysStringLen(text), 0u);
    SysFreeString(text);
    EXPECT_EQ(script->Calls()[0], "DirectIO(4,5,\"request\")");
    EXPECT_EQ(script->Calls()[1], "DirectIO(4,21,\"reply\")");
    EXPECT_EQ(script->Calls()[2], "DirectIO(4,0,null)");
    EXPECT_EQ(script->FreedStrings(), 2);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);
}

TEST_F(ScaleDispatch, RaisingDirectIOLeavesTheCallersStringAlone)
{
    script->Queue("DirectIO", Answer{.data = 9, .string = u"unused", .raise = true});
    LONG data = 5;
    BSTR text = SysAllocString(u"mine");
    const BSTR before = text;
    EXPECT_THROW(scale.DirectIO(4, data, text), COleDispatchException);
    EXPECT_EQ(text, before);
    EXPECT_EQ(std::u16string(text, SysStringLen(text)), u"mine");
    EXPECT_EQ(data, 5);
    SysFreeString(text);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);
}

TEST_F(ScaleDispatch, StringResultsAndArgumentsLeaveNoLiveStrings)
{
    script->description = u"Weigh \u00e9 scale";
    for (int i = 0; i < 3; ++i) {
        scale.Description();
        scale.Open("K350");
    }
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Invoke(dispid::Description, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal, SysStringLen(result.bstrVal)), u"Weigh \u00e9 scale");
    VariantClear(&result);
    ASSERT_EQ(Invoke(dispid::Description, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);
}

TEST(ScaleControlClass, IsRegisteredAndBacksNewControlsWithTheStandardService)
{
    auto control = AfxCreateControlInstance("{83029fa3-4740-11cf-88f3-02608ca3be43}");
    ASSERT_NE(control, nullptr);
    auto* scale = dynamic_cast<COposScaleControl*>(control.get());
    ASSERT_NE(scale, nullptr);
    EXPECT_NE(dynamic_cast<StandardScaleService*>(&scale->Service()), nullptr);
}
