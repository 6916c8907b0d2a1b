#include "SimulatedK350.h"

#include "ResultCodes.h"

#include <array>
#include <cstdio>

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

ScaleReading SimulatedK350::ReadingAt(std::int64_t nowMs)
{
    std::int64_t t = (nowMs - m_startMs) % kCycleMs;
    if (t < 0)
        t += kCycleMs;
    std::int64_t phaseStart = 0;
    for (const Phase& phase : kCycle) {
        if (t < phase.endMs) {
            if (phase.stable)
                return {phase.to, true};
            return {movingWeight(phase, phaseStart, t), false};
        }
        phaseStart = phase.endMs;
    }
    return {0, true};
}

LONG SimulatedK350::DirectIO(LONG command, LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs)
{
    if (command != kCommandWeightStatus)
        return OPOS_E_ILLEGAL;
    return ReportWeight(data, string, nowMs);
}

LONG SimulatedK350::ReportWeight(LONG& data, std::optional<std::u16string>& string, std::int64_t nowMs)
{
    const ScaleReading reading = ReadingAt(nowMs);
    if (!reading.stable || reading.weight <= 0 || reading.weight > kCapacity) {
        m_lastReported.reset();
        data = kStatusInvalidWeight;
        // The console adds "Invalid Weight" itself; the text says why.
        string = !reading.stable ? u" (in motion)" : reading.weight > kCapacity ? u" (over capacity)" : u" (empty)";
        return OPOS_SUCCESS;
    }
    data = m_lastReported == reading.weight ? kStatusUnchanged : kStatusNewWeight;
    m_lastReported = reading.weight;
    string = FormatWeight(reading.weight);
    return OPOS_SUCCESS;
}

std::u16string SimulatedK350::FormatWeight(LONG weight)
{
    char text[32];
    std::snprintf(text, sizeof text, "%2ld.%03ld Kg", long(weight / 1000), long(weight % 1000));
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

}
