#include "SimulatedK350.h"

#include "ResultCodes.h"

#include <array>

namespace opos {

namespace {
// One stretch of the cycle: until endMs the load goes from `from` to `to`; a stretch where the
// two are equal and `stable` is set is a settled load.
struct Phase
{
    std::int64_t endMs;
    LONG from;
    LONG to;
    bool stable;
};

constexpr std::array<Phase, 9> kCycle{{
    {5000, 0, 0, true},         // empty platter
    {8000, 0, 1250, false},     // an item is put down and settles
    {13000, 1250, 1250, true},  // 1.250 kg
    {15000, 1250, 3480, false}, // a second item joins it
    {20000, 3480, 3480, true},  // 3.480 kg
    {22000, 3480, 16200, false},// a heavy load goes on
    {25000, 16200, 16200, true},// 16.200 kg: over capacity
    {27000, 16200, 0, false},   // everything is taken off
    {SimulatedK350::kCycleMs, 0, 0, true}, // empty again
}};

constexpr std::int64_t kSampleMs = 250; // a moving load changes reading this often
constexpr LONG kWobble = 35;            // and swings this far around its path

LONG movingWeight(const Phase& phase, std::int64_t startMs, std::int64_t t)
{
    const std::int64_t sample = (t - startMs) / kSampleMs;
    const std::int64_t samples = (phase.endMs - startMs) / kSampleMs;
    const LONG base = LONG(phase.from + (phase.to - phase.from) * sample / samples);
    const LONG weight = base + (sample % 2 ? kWobble : -kWobble);
    return weight > 0 ? weight : kWobble;
}
}

std::u16string SimulatedK350::Description() const { return u"Tarabo simulated K350 retail scale (no hardware)"; }

LONG SimulatedK350::Unit() const { return SCAL_WU_KILOGRAM; }

std::int64_t SimulatedK350::CycleTime(std::int64_t nowMs) const
{
    const std::int64_t t = (nowMs - m_startMs) % kCycleMs;
    return t < 0 ? t + kCycleMs : t;
}

std::int64_t SimulatedK350::NextChangeMs(std::int64_t nowMs) const
{
    const std::int64_t t = CycleTime(nowMs);
    for (const Phase& phase : kCycle) {
        if (t < phase.endMs)
            return nowMs + (phase.stable ? phase.endMs - t : kSampleMs - t % kSampleMs);
    }
    return nowMs + 1;
}

ScaleReading SimulatedK350::ReadingAt(std::int64_t nowMs)
{
    const std::int64_t t = CycleTime(nowMs);
    std::int64_t phaseStart = 0;
    for (const Phase& phase : kCycle) {
        if (t < phase.endMs) {
            const LONG weight = phase.stable ? phase.to : movingWeight(phase, phaseStart, t);
            if (weight > kCapacity)
                return {ScaleStatus::OverCapacity, weight};
            if (!phase.stable)
                return {ScaleStatus::InMotion, weight};
            return {weight == 0 ? ScaleStatus::StableZero : ScaleStatus::Stable, weight};
        }
        phaseStart = phase.endMs;
    }
    return {ScaleStatus::StableZero, 0};
}

// Command 4, the weight status, is the service's for every device; the simulator has no other.
LONG SimulatedK350::DirectIO(LONG, LONG&, std::optional<std::u16string>&, std::int64_t) { return OPOS_E_ILLEGAL; }

}
