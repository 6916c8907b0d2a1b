// A simulated scale that plays a scenario: its reading follows the clock from the moment it is
// opened (plus `startMs`), looping or holding the end of the last phase.
#pragma once

#include "opos/sim/Scenario.h"

#include <memory>

namespace opos {

class ScenarioScale : public IScaleDevice
{
public:
    ScenarioScale(std::shared_ptr<const sim::Scenario> scenario, std::int64_t openedAtMs, bool loop = true, std::int64_t startMs = 0);

    std::u16string Description() const override;
    LONG Capacity() const override { return m_scenario->capacity; }
    LONG Unit() const override { return m_scenario->unit; }
    bool ZeroValid() const override { return m_scenario->zeroValid; }
    std::int64_t NextChangeMs(std::int64_t nowMs) const override;
    ScaleReading ReadingAt(std::int64_t nowMs) override;
    // Command 4, the weight status, is the service's for every device; a simulator has no other.
    LONG DirectIO(LONG, LONG&, std::optional<std::u16string>&, std::int64_t) override;

private:
    std::int64_t ScenarioTime(std::int64_t nowMs) const;
    bool Ended(std::int64_t nowMs) const { return !m_loop && nowMs - m_originMs >= m_scenario->LengthMs(); }

    std::shared_ptr<const sim::Scenario> m_scenario;
    std::int64_t m_originMs; // the clock time the scenario's time 0 falls on
    bool m_loop;
};

}
