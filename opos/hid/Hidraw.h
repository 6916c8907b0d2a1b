// The kernel's hidraw nodes: finding the HID POS scales among them (sysfs) and opening one
// (the HIDIOC ioctls). Tests put their own in place of both.
#pragma once

#include "opos/hid/HidDevices.h"
#include "opos/hid/HidScale.h"

#include <memory>

namespace opos {

// The nodes under sysfsRoot (/sys/class/hidraw), in node order; readable without access to /dev.
std::vector<HidrawNode> ListHidrawNodes(const std::string& sysfsRoot = "/sys/class/hidraw");
// Opens the node; raises DeviceError (OPOS_E_NOHARDWARE) saying why it cannot.
HidConnection OpenHidrawNode(const std::string& path);

// Where the hid driver finds and opens nodes: the functions above unless an override is alive.
struct HidrawSystem
{
    std::function<std::vector<HidrawNode>()> list;
    std::function<HidConnection(const std::string& path)> open;
};
const HidrawSystem& CurrentHidrawSystem();
class HidrawSystemOverride
{
public:
    explicit HidrawSystemOverride(HidrawSystem system);
    ~HidrawSystemOverride();
    HidrawSystemOverride(const HidrawSystemOverride&) = delete;
    HidrawSystemOverride& operator=(const HidrawSystemOverride&) = delete;

private:
    const HidrawSystem* m_previous;
    HidrawSystem m_system;
};

}
