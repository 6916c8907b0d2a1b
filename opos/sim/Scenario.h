// A weighing scenario: what a simulated scale's platter does over time, read from a small text
// format (opos/README.md, "Scenarios"). Parsing and playing are pure functions over text and time.
#pragma once

#include "opos/ScaleDevice.h"

#include <string>
#include <string_view>
#include <vector>

namespace opos::sim {

// What a phase holds. A load's status follows its weight (zero, under zero, over capacity);
// the other kinds are states of the scale itself.
enum class PhaseKind { Load, Zero, Under, Over, Fault, Offline };

struct ScenarioPhase
{
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    PhaseKind kind = PhaseKind::Load;
    std::int64_t from = 0; // thousandths of the unit; a fixed weight has from == to
    std::int64_t to = 0;
    bool stable = true;
};

struct Scenario
{
    std::string description; // UTF-8
    LONG unit = 0;           // SCAL_WU_*
    LONG capacity = 0;       // thousandths of the unit
    bool zeroValid = false;
    std::vector<ScenarioPhase> phases; // back to back from 0
    std::int64_t LengthMs() const { return phases.empty() ? 0 : phases.back().endMs; }
};

// Parses a scenario's text; raises DeviceError(OPOS_E_NOEXIST, "FILE line N: why").
Scenario ParseScenario(std::string_view text, const std::string& file);

// The reading `t` ms into the scenario (0 <= t < LengthMs()).
ScaleReading ScenarioReading(const Scenario& scenario, std::int64_t t);
// When, from `t` ms into the scenario, the reading may next change (at most the phase's end).
std::int64_t ScenarioNextChange(const Scenario& scenario, std::int64_t t);

}
