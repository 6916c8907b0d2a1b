// A weighing device behind the standard service: the simulated scale, or real hardware.
#pragma once

#include "AfxTypes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace opos {

struct ScaleReading
{
    LONG weight = 0;     // thousandths of the device's unit
    bool stable = false; // false while the load is still in motion
};

class IScaleDevice
{
public:
    virtual ~IScaleDevice() = default;
    virtual std::u16string Description() const = 0;
    virtual LONG Capacity() const = 0; // thousandths of the unit
    virtual LONG Unit() const = 0;     // SCAL_WU_*
    virtual ScaleReading ReadingAt(std::int64_t nowMs) = 0;
    // A device-specific command; returns an OPOS result code.
    virtual LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) = 0;
};

}
