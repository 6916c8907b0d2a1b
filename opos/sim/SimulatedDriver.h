// The simulated scale as a driver of the scales configuration (`driver = simulated`): the
// built-in K350 scenario, or a scenario file.
#pragma once

#include "ScalesConfig.h"

#include <memory>

namespace opos {

inline const std::vector<std::string> kSimulatedKeys{"scenario", "loop", "start"};

// Raises the section's DeviceError for a bad key, and the scenario file's (file and line) for a
// bad scenario.
std::unique_ptr<IScaleDevice> OpenSimulatedScale(const DeviceSection& section);

}
