// Devices named in the scales configuration: the table of drivers a section's `driver` key
// chooses from, and the device a section opens.
#pragma once

#include "ScalesConfig.h"

#include <functional>
#include <memory>
#include <vector>

namespace opos {

struct DeviceDriver
{
    std::string name;              // the value of `driver`
    std::vector<std::string> keys; // its own keys, besides driver, capacity and zero-valid
    std::function<std::unique_ptr<IScaleDevice>(const DeviceSection&)> open; // raises DeviceError
};

const std::vector<DeviceDriver>& DeviceDrivers();

// The section's driver, once the section's common keys and the keys it knows are checked;
// raises DeviceError for a bad section.
const DeviceDriver& CheckSection(const DeviceSection& section);

// The device a section describes, with `capacity` (where the device cannot tell) and
// `zero-valid` applied; raises DeviceError for a bad section or a device that is not there.
std::unique_ptr<IScaleDevice> OpenSectionDevice(const DeviceSection& section);

// The device configured under the name in ConfigFiles(); nullptr when no file has a section for it.
std::unique_ptr<IScaleDevice> OpenConfiguredDevice(const std::u16string& name);

}
