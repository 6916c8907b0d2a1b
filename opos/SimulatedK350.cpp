#include "opos/SimulatedK350.h"

#include "opos/generated/K350Scenario.h" // generated from sim/K350.scenario

namespace opos {

std::shared_ptr<const sim::Scenario> BuiltInK350Scenario()
{
    static const auto scenario = std::make_shared<const sim::Scenario>(sim::ParseScenario(kK350Scenario, "K350.scenario (built in)"));
    return scenario;
}

}
