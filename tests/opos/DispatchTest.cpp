// The control's automation surface: member lookup, argument checks, raised failures and who owns
// which string.
#include "tests/opos/ScaleTestSupport.h"

using namespace opos;

namespace {

class ScaleDispatch : public ScriptedScaleTest
{
protected:
    HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr, EXCEPINFO* info = nullptr)
    {
        return scale.control()->Invoke(id, flags, args, result, info);
    }
};

}

TEST_F(ScaleDispatch, RejectsUnknownMembersWrongKindsCountsAndTypesWithoutCallingTheService)
{
    LONG l = 0;
    BSTR b = nullptr;
    const VARIANT i4{.vt = VT_I4, .lVal = 0}, str{.vt = VT_BSTR, .bstrVal = nullptr};
    const VARIANT pl{.vt = VT_I4 | VT_BYREF, .plVal = &l}, pb{.vt = VT_BSTR | VT_BYREF, .pbstrVal = &b};
    const VARIANT nullRef{.vt = VT_I4 | VT_BYREF, .plVal = nullptr};
    const struct { const char* what; DISPID id; WORD flags; std::vector<VARIANT> args; HRESULT expected; } calls[] = {
        {"unknown id", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
        {"get of a method", dispid::Open, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {"put of read-only", dispid::Description, DISPATCH_PROPERTYPUT, {str}, DISP_E_MEMBERNOTFOUND},
        {"get of write-only", dispid::DeviceEnabled, DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {"too few", dispid::DirectIO, DISPATCH_METHOD, {i4, pl}, DISP_E_BADPARAMCOUNT},
        {"too many", dispid::Close, DISPATCH_METHOD, {i4}, DISP_E_BADPARAMCOUNT},
        {"string for long", dispid::Claim, DISPATCH_METHOD, {str}, DISP_E_TYPEMISMATCH},
        {"long for bool", dispid::DeviceEnabled, DISPATCH_PROPERTYPUT, {i4}, DISP_E_TYPEMISMATCH},
        {"string by value", dispid::DirectIO, DISPATCH_METHOD, {i4, pl, str}, DISP_E_TYPEMISMATCH},
        {"null reference", dispid::DirectIO, DISPATCH_METHOD, {i4, nullRef, pb}, DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(c.what);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(Invoke(c.id, c.flags, c.args, &result), c.expected);
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    EXPECT_TRUE(script->Calls().empty());
}

TEST_F(ScaleDispatch, MembersReachTheServiceAndAServiceFailureBecomesAnExceptionLeavingReferencesAlone)
{
    ASSERT_EQ(Invoke(dispid::DeviceEnabled, DISPATCH_PROPERTYPUT, {{.vt = VT_BOOL, .boolVal = VARIANT_TRUE}}), S_OK);
    ASSERT_EQ(Invoke(dispid::Close, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, nullptr), S_OK)
        << "a method may be called with the combined flags and no result";
    ASSERT_EQ(Invoke(dispid::Open, DISPATCH_METHOD, {{.vt = VT_BSTR, .bstrVal = nullptr}}), S_OK) << "null is empty";
    EXPECT_EQ(script->Calls(), (std::vector<std::string>{"SetDeviceEnabled(true)", "Close()", "Open()"}));

    script->Queue("ReadWeight", Answer{.raise = true});
    script->Queue("DirectIO", Answer{.data = 9, .string = u"unused", .raise = true});
    LONG weight = 17, data = 5;
    EXCEPINFO info{};
    const VARIANT byRef{.vt = VT_I4 | VT_BYREF, .plVal = &weight}, timeout{.vt = VT_I4, .lVal = 100};
    EXPECT_EQ(Invoke(dispid::ReadWeight, DISPATCH_METHOD, {byRef, timeout}, nullptr, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(AfxTextFromBstr(info.bstrSource), "Tarabo OPOS Scale");
    EXPECT_NE(SysStringLen(info.bstrDescription), 0u);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    EXPECT_EQ(weight, 17);
    BSTR mine = SysAllocString(OLESTR("mine")), string = mine;
    EXPECT_THROW(scale.DirectIO(4, data, string), COleDispatchException);
    EXPECT_TRUE(string == mine && AfxTextFromBstr(string) == "mine" && data == 5);
    SysFreeString(string);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);
}

TEST_F(ScaleDispatch, StringsByReferenceAreTakenOverAndReplacedAndResultsLeaveNoLiveStrings)
{
    EXPECT_EQ(scale.Open("K350"), OPOS_SUCCESS);
    ASSERT_EQ(Invoke(dispid::Description, DISPATCH_PROPERTYGET, {}, nullptr), S_OK) << "a dropped result is freed";
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);

    script->Queue("DirectIO", Answer{.data = 21, .string = u"reply"});
    script->Queue("DirectIO", Answer{.data = 0, .string = std::nullopt});
    script->Queue("DirectIO", Answer{.data = 3, .string = u""});
    LONG data = 5;
    BSTR string = SysAllocString(OLESTR("request"));
    ASSERT_EQ(scale.DirectIO(4, data, string), 0);
    EXPECT_TRUE(AfxTextFromBstr(string) == "reply" && data == 21);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart + 1) << "the request was freed; the reply is the caller's";
    ASSERT_EQ(scale.DirectIO(4, data, string), 0);
    EXPECT_EQ(string, nullptr);
    ASSERT_EQ(scale.DirectIO(4, data, string), 0);
    ASSERT_NE(string, nullptr) << "an empty reply is an empty string, not a null one";
    EXPECT_EQ(SysStringLen(string), 0u);
    SysFreeString(string);
    EXPECT_EQ(script->Calls(), (std::vector<std::string>{"Open(K350)", "GetDescription", "DirectIO(4,5,\"request\")",
                                                         "DirectIO(4,21,\"reply\")", "DirectIO(4,0,null)"}));
    EXPECT_EQ(script->FreedStrings(), 2);
    EXPECT_EQ(AfxLiveBstrCount(), liveAtStart);
}
