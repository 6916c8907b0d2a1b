// The scale that answers to "K350" when no hardware is installed: the built-in scenario
// (sim/K350.scenario, compiled in): 15 kg capacity, weighing in kilograms, a weighing cycle that
// starts with a settled item so a console polling it once a second sees a weight at once and
// then every kind of answer a real scale gives. The cycle is in README.md.
#pragma once

#include "opos/sim/ScenarioScale.h"

namespace opos {

// The built-in scenario, parsed once.
std::shared_ptr<const sim::Scenario> BuiltInK350Scenario();

class SimulatedK350 : public ScenarioScale
{
public:
    explicit SimulatedK350(std::int64_t openedAtMs) : ScenarioScale(BuiltInK350Scenario(), openedAtMs) {}
};

}
