// What stands behind the scale control: the control only decodes automation calls and forwards
// them here, so a service for other hardware can be put in without touching the control.
#pragma once

#include "framework/AfxTypes.h"

#include <optional>
#include <string>

namespace opos {

class IScaleService
{
public:
    virtual ~IScaleService() = default;

    virtual LONG Open(const std::u16string& name) = 0;
    virtual LONG Close() = 0;
    virtual LONG Claim(LONG timeoutMs) = 0;
    virtual LONG Release() = 0;
    virtual LONG ClearInput() = 0;
    // string: nullopt stands for a null automation string, both coming in and going out.
    virtual LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string) = 0;
    virtual LONG ReadWeight(LONG& weight, LONG timeoutMs) = 0;
    virtual void SetDeviceEnabled(bool enabled) = 0;

    virtual std::u16string GetDescription() = 0;
    virtual LONG GetMaximumWeight() = 0;
    virtual LONG GetWeightUnit() = 0;
};

}
