// The scale control as the program hosts it: decodes automation calls by dispatch id, checks
// their arguments and forwards them to its scale service.
#pragma once

#include "framework/Automation.h"
#include "opos/ScaleService.h"

#include <array>
#include <memory>

namespace opos {

inline constexpr char kScaleControlClsid[] = "{83029FA3-4740-11CF-88F3-02608CA3BE43}";

// Dispatch ids of the control's members.
namespace dispid {
inline constexpr DISPID DeviceEnabled = 3;
inline constexpr DISPID Description = 10;
inline constexpr DISPID MaximumWeight = 15;
inline constexpr DISPID WeightUnit = 18;
inline constexpr DISPID Open = 19;
inline constexpr DISPID Close = 20;
inline constexpr DISPID Claim = 21;
inline constexpr DISPID Release = 22;
inline constexpr DISPID ClearInput = 24;
inline constexpr DISPID DirectIO = 25;
inline constexpr DISPID ReadWeight = 26;
}

}

class COposScaleControl : public CHostedControl
{
public:
    explicit COposScaleControl(std::shared_ptr<opos::IScaleService> service);

    HRESULT Invoke(DISPID dispid, WORD wFlags, std::span<VARIANT> args, VARIANT* pResult,
                   EXCEPINFO* pExcepInfo, UINT* puArgErr = nullptr) override;
    DISPID GetDispID(std::u16string_view name) const override;

    opos::IScaleService& Service() const { return *m_service; }

private:
    using Handler = void (COposScaleControl::*)(std::span<VARIANT> args, VARIANT& result);
    struct Member
    {
        std::u16string_view name;
        DISPID dispid;
        WORD kind;
        std::size_t argCount;
        std::array<VARTYPE, 3> argTypes;
        Handler handler;
    };
    static std::span<const Member> Members();
    static const Member* Find(DISPID dispid);
    static HRESULT CheckArguments(const Member& member, std::span<VARIANT> args, UINT* puArgErr);
    HRESULT Call(const Member& member, std::span<VARIANT> args, VARIANT* pResult, EXCEPINFO* pExcepInfo);

    void PutDeviceEnabled(std::span<VARIANT> args, VARIANT& result);
    void GetDescription(std::span<VARIANT> args, VARIANT& result);
    void GetMaximumWeight(std::span<VARIANT> args, VARIANT& result);
    void GetWeightUnit(std::span<VARIANT> args, VARIANT& result);
    void Open(std::span<VARIANT> args, VARIANT& result);
    void Close(std::span<VARIANT> args, VARIANT& result);
    void Claim(std::span<VARIANT> args, VARIANT& result);
    void Release(std::span<VARIANT> args, VARIANT& result);
    void ClearInput(std::span<VARIANT> args, VARIANT& result);
    void DirectIO(std::span<VARIANT> args, VARIANT& result);
    void ReadWeight(std::span<VARIANT> args, VARIANT& result);

    std::shared_ptr<opos::IScaleService> m_service;
};
