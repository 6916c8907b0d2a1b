// The serial scale as a driver of the scales configuration (`driver = serial`).
#pragma once

#include "ScalesConfig.h"
#include "SerialScale.h"

namespace opos {

inline const std::vector<std::string> kSerialKeys{"device", "protocol", "baud", "framing", "unit", "timeout"};

// The section's settings; raises the section's DeviceError for a missing or wrong one.
serial::SerialSettings SerialSettingsOf(const DeviceSection& section);
std::unique_ptr<IScaleDevice> OpenSerialScale(const DeviceSection& section);

}
