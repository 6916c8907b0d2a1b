#include "opos/sim/ScenarioScale.h"

#include "opos/ResultCodes.h"
#include "opos/Utf8.h"

#include <algorithm>

namespace opos {

namespace {
constexpr std::int64_t kEndedWaitMs = 3600000; // an ended scenario never changes: wait long between looks
}

ScenarioScale::ScenarioScale(std::shared_ptr<const sim::Scenario> scenario, std::int64_t openedAtMs, bool loop, std::int64_t startMs)
    : m_scenario(std::move(scenario)), m_originMs(openedAtMs - startMs), m_loop(loop)
{
}

std::u16string ScenarioScale::Description() const { return Utf16FromUtf8(m_scenario->description); }

std::int64_t ScenarioScale::ScenarioTime(std::int64_t nowMs) const
{
    const std::int64_t length = m_scenario->LengthMs();
    const std::int64_t t = nowMs - m_originMs;
    if (!m_loop)
        return std::clamp<std::int64_t>(t, 0, length - 1);
    return (t % length + length) % length;
}

std::int64_t ScenarioScale::NextChangeMs(std::int64_t nowMs) const
{
    if (Ended(nowMs))
        return nowMs + kEndedWaitMs;
    const std::int64_t t = ScenarioTime(nowMs);
    return nowMs + sim::ScenarioNextChange(*m_scenario, t) - t;
}

ScaleReading ScenarioScale::ReadingAt(std::int64_t nowMs) { return sim::ScenarioReading(*m_scenario, ScenarioTime(nowMs)); }

LONG ScenarioScale::DirectIO(LONG, LONG&, std::optional<std::u16string>&, std::int64_t) { return OPOS_E_ILLEGAL; }

}
