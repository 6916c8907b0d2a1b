#include "opos/OposScaleControl.h"

#include "opos/AutomationFailure.h"
#include "opos/ServiceFactory.h"

#include <algorithm>
#include <optional>

using namespace opos;

namespace {
const AFX_CONTROL_REGISTRAR s_registrar(kScaleControlClsid,
                                        [] { return std::make_unique<COposScaleControl>(CreateScaleService()); });

constexpr char16_t kExceptionSource[] = u"Tarabo OPOS Scale";

void setLong(VARIANT& v, LONG value)
{
    v.vt = VT_I4;
    v.lVal = value;
}

std::optional<std::u16string> readBstr(BSTR bstr)
{
    if (!bstr)
        return std::nullopt;
    return AfxWideFromBstr(bstr);
}

HRESULT raise(EXCEPINFO* pExcepInfo, const char* description)
{
    if (pExcepInfo) {
        pExcepInfo->wCode = 0;
        pExcepInfo->bstrSource = AfxAllocBstrFromWide(kExceptionSource);
        pExcepInfo->bstrDescription = AfxAllocBstrFromText(description);
        pExcepInfo->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}
}

COposScaleControl::COposScaleControl(std::shared_ptr<IScaleService> service) : m_service(std::move(service)) {}

std::span<const COposScaleControl::Member> COposScaleControl::Members()
{
    constexpr WORD get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT, method = DISPATCH_METHOD;
    static const Member s_members[] = {
        {u"DeviceEnabled", dispid::DeviceEnabled, put, 1, {VT_BOOL}, &COposScaleControl::PutDeviceEnabled},
        {u"Description", dispid::Description, get, 0, {}, &COposScaleControl::GetDescription},
        {u"MaximumWeight", dispid::MaximumWeight, get, 0, {}, &COposScaleControl::GetMaximumWeight},
        {u"WeightUnit", dispid::WeightUnit, get, 0, {}, &COposScaleControl::GetWeightUnit},
        {u"Open", dispid::Open, method, 1, {VT_BSTR}, &COposScaleControl::Open},
        {u"Close", dispid::Close, method, 0, {}, &COposScaleControl::Close},
        {u"Claim", dispid::Claim, method, 1, {VT_I4}, &COposScaleControl::Claim},
        {u"Release", dispid::Release, method, 0, {}, &COposScaleControl::Release},
        {u"ClearInput", dispid::ClearInput, method, 0, {}, &COposScaleControl::ClearInput},
        {u"DirectIO", dispid::DirectIO, method, 3, {VT_I4, VT_I4 | VT_BYREF, VT_BSTR | VT_BYREF}, &COposScaleControl::DirectIO},
        {u"ReadWeight", dispid::ReadWeight, method, 2, {VT_I4 | VT_BYREF, VT_I4}, &COposScaleControl::ReadWeight},
    };
    return s_members;
}

const COposScaleControl::Member* COposScaleControl::Find(DISPID id)
{
    for (const Member& member : Members())
        if (member.dispid == id)
            return &member;
    return nullptr;
}

// Names are matched as late binding matches them: without regard to case.
DISPID COposScaleControl::GetDispID(std::u16string_view name) const
{
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    for (const Member& member : Members())
        if (std::ranges::equal(member.name, name, {}, lower, lower))
            return member.dispid;
    return -1; // DISPID_UNKNOWN
}

// A by-reference argument with no storage behind it is as unusable as one of the wrong type.
HRESULT COposScaleControl::CheckArguments(const Member& member, std::span<VARIANT> args, UINT* puArgErr)
{
    if (args.size() != member.argCount)
        return DISP_E_BADPARAMCOUNT;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].vt != member.argTypes[i] || ((args[i].vt & VT_BYREF) && !args[i].plVal)) {
            if (puArgErr)
                *puArgErr = UINT(i);
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

HRESULT COposScaleControl::Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                                  EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    const Member* member = Find(dispid);
    if (!member || !(wFlags & member->kind))
        return DISP_E_MEMBERNOTFOUND;
    if (const HRESULT hr = CheckArguments(*member, args, puArgErr); FAILED(hr))
        return hr;
    return Call(*member, args, pResult, pExcepInfo);
}

HRESULT COposScaleControl::Call(const Member& member, std::span<VARIANT> args, VARIANT* pResult,
                                EXCEPINFO* pExcepInfo)
{
    VARIANT result;
    VariantInit(&result);
    try {
        (this->*member.handler)(args, result);
    } catch (const std::exception& e) { // AutomationFailure, and anything the service let slip
        VariantClear(&result);
        return raise(pExcepInfo, e.what());
    } catch (...) {
        VariantClear(&result);
        return E_FAIL;
    }
    if (pResult)
        *pResult = result;
    else
        VariantClear(&result);
    return S_OK;
}

void COposScaleControl::PutDeviceEnabled(std::span<VARIANT> args, VARIANT&)
{
    m_service->SetDeviceEnabled(args[0].boolVal != VARIANT_FALSE);
}

void COposScaleControl::GetDescription(std::span<VARIANT>, VARIANT& result)
{
    const std::u16string description = m_service->GetDescription();
    result.vt = VT_BSTR;
    result.bstrVal = AfxAllocBstrFromWide(description);
}

void COposScaleControl::GetMaximumWeight(std::span<VARIANT>, VARIANT& result)
{
    setLong(result, m_service->GetMaximumWeight());
}

void COposScaleControl::GetWeightUnit(std::span<VARIANT>, VARIANT& result)
{
    setLong(result, m_service->GetWeightUnit());
}

void COposScaleControl::Open(std::span<VARIANT> args, VARIANT& result)
{
    setLong(result, m_service->Open(readBstr(args[0].bstrVal).value_or(std::u16string())));
}

void COposScaleControl::Close(std::span<VARIANT>, VARIANT& result) { setLong(result, m_service->Close()); }

void COposScaleControl::Claim(std::span<VARIANT> args, VARIANT& result)
{
    setLong(result, m_service->Claim(args[0].lVal));
}

void COposScaleControl::Release(std::span<VARIANT>, VARIANT& result) { setLong(result, m_service->Release()); }

void COposScaleControl::ClearInput(std::span<VARIANT>, VARIANT& result) { setLong(result, m_service->ClearInput()); }

// The caller's string is only replaced once the service has answered: if the service raises,
// the caller still owns what it passed in.
void COposScaleControl::DirectIO(std::span<VARIANT> args, VARIANT& result)
{
    LONG data = *args[1].plVal;
    BSTR* string = args[2].pbstrVal;
    std::optional<std::u16string> text = readBstr(*string);
    const LONG code = m_service->DirectIO(args[0].lVal, data, text);
    BSTR fresh = text ? AfxAllocBstrFromWide(*text) : nullptr;
    SysFreeString(*string);
    *string = fresh;
    *args[1].plVal = data;
    setLong(result, code);
}

void COposScaleControl::ReadWeight(std::span<VARIANT> args, VARIANT& result)
{
    LONG weight = *args[0].plVal;
    const LONG code = m_service->ReadWeight(weight, args[1].lVal);
    *args[0].plVal = weight;
    setLong(result, code);
}
