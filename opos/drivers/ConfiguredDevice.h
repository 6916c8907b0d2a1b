// Devices named in the scales configuration: a section checked against the driver its `driver`
// key chooses (DeviceDrivers.h), and the device a section opens.
#pragma once

#include "opos/drivers/DeviceDrivers.h"

#include <memory>
#include <string>

namespace opos {

// The section's driver, once the section's common keys and the keys it knows are checked;
// raises DeviceError for a bad section.
const DeviceDriver& CheckSection(const DeviceSection& section);

// The device a section describes, with `capacity` (where the device cannot tell) and
// `zero-valid` applied; raises DeviceError for a bad section or a device that is not there.
std::unique_ptr<IScaleDevice> OpenSectionDevice(const DeviceSection& section);

// The device configured under the name (CurrentConfigSources()); nullptr when no section has the name.
std::unique_ptr<IScaleDevice> OpenConfiguredDevice(const std::u16string& name);

}
