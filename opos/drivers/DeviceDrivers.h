// The drivers a configuration section can name. Each driver is one file here, XxxDriver.cpp,
// whose XxxDriver() gives its name, its keys and its entry: the function that reads the section
// and opens the device through the device folder's own settings (hid/, serial/, sim/, replay/
// know nothing of scales.conf). A new driver adds its file, its line below and its row in
// DeviceDrivers.cpp.
#pragma once

#include "opos/config/ScalesConfig.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace opos {

struct DeviceDriver
{
    std::string name;              // the value of `driver`
    std::vector<std::string> keys; // its own keys, besides driver, capacity and zero-valid
    std::function<std::unique_ptr<IScaleDevice>(const DeviceSection&)> open; // raises DeviceError; empty: not in this build
};

const std::vector<DeviceDriver>& DeviceDrivers();

DeviceDriver SimulatedDriver(); // SimulatedDriver.cpp
DeviceDriver HidDriver();       // HidDriver.cpp
DeviceDriver SerialDriver();    // SerialDriver.cpp
DeviceDriver ReplayDriver();    // ReplayDriver.cpp

// The row of a driver whose device code this build leaves out: opos/CMakeLists.txt makes its
// XxxDriver() one, so that Open says the driver is not available here rather than unknown.
DeviceDriver UnavailableDriver(const std::string& name);

}
