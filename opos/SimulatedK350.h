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

    // Direct IO command 4 reports the current weight; its data is one of these statuses.
    static constexpr LONG kCommandWeightStatus = 4;
    static constexpr LONG kStatusInvalidWeight = 0; // empty, in motion or over capacity
    static constexpr LONG kStatusNewWeight = 1;
    static constexpr LONG kStatusUnchanged = 21; // same weight as the previous command-4 answer

    explicit SimulatedK350(std::int64_t startMs) : m_startMs(startMs) {}

    std::u16string Description() const override;
    LONG Capacity() const override { return kCapacity; }
    LONG Unit() const override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    LONG DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs) override;

    // The weight as the display shows it: " 1.250 Kg".
    static std::u16string FormatWeight(LONG weight);

private:
    LONG ReportWeight(LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs);

    std::int64_t m_startMs;
    std::optional<LONG> m_lastReported; // weight of the previous valid command-4 answer
};

}
