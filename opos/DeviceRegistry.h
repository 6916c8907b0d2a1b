// Which device a logical device name opens: one installed under the name (tests), else the one the
// scales configuration gives it, else for "K350" the simulated scale.
#pragma once

#include "opos/ScaleDevice.h"

#include <functional>
#include <memory>
#include <string>

namespace opos {

inline constexpr const char16_t* kDefaultScaleName = u"K350";

using DeviceFactory = std::function<std::unique_ptr<IScaleDevice>()>;

// Installs (or, with an empty factory, removes) the device behind a logical name.
void InstallDevice(const std::u16string& name, DeviceFactory factory);
// A new device for the name; nullptr when nothing is installed or configured under it. Raises
// DeviceError when the configuration is bad or its device cannot be opened.
std::unique_ptr<IScaleDevice> CreateDevice(const std::u16string& name);

// Installs a device for as long as it lives, then puts back what was there before.
class DeviceOverride
{
public:
    DeviceOverride(std::u16string name, DeviceFactory factory);
    ~DeviceOverride();
    DeviceOverride(const DeviceOverride&) = delete;
    DeviceOverride& operator=(const DeviceOverride&) = delete;

private:
    std::u16string m_name;
    DeviceFactory m_previous;
};

}
