// The scale that answers to "K350" when no hardware is installed: 15 kg capacity, weighing in
// kilograms, running a fixed weighing cycle so a console polling it once a second sees every
// kind of answer a real scale gives. The cycle and the Direct IO commands are in README.md.
#pragma once

#include "ScaleDevice.h"

namespace opos {

class SimulatedK350 : public IScaleDevice
{
public:
    static constexpr std::int64_t kCycleMs = 30000;
    static constexpr LONG kCapacity = 15000;

    explicit SimulatedK350(std::int64_t startMs) : m_startMs(startMs) {}

    std::u16string Description() const override;
    LONG Capacity() const override { return kCapacity; }
    LONG Unit() const override;
    std::int64_t NextChangeMs(std::int64_t nowMs) const override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

private:
    std::int64_t CycleTime(std::int64_t nowMs) const;

    std::int64_t m_startMs;
};

}
