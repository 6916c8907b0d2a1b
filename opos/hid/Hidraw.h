// The kernel's hidraw nodes: finding the HID POS scales among them (sysfs) and opening one
// (the HIDIOC ioctls). Tests put their own in place of both.
#pragma once

#include "opos/hid/HidDevices.h"
#include "opos/hid/HidScale.h"

#include <functional>
#include <memory>

namespace opos {

// What the scale needs of its device node; OpenHidrawNode fills it from a real one, tests from a
// SEQPACKET socket, which keeps one report per read as hidraw does.
struct HidConnection
{
    int fd = -1; // reports arrive here, one per read; owned by the scale from then on
    std::string path;
    std::string name;
    std::uint16_t vendor = 0, product = 0;
    std::vector<std::uint8_t> descriptor;
    // A feature report by id (the id first), empty when the device will not give it.
    std::function<std::vector<std::uint8_t>(std::uint8_t reportId, std::size_t size)> feature;
    // The scale's current input report, asked for over the control pipe; empty when it will not say.
    std::function<std::vector<std::uint8_t>(std::uint8_t reportId, std::size_t size)> input;
    // Sends a feature report (the id first); false when the device refuses. Output reports are
    // written to fd.
    std::function<bool(const std::vector<std::uint8_t>& report)> setFeature;
};

// The scale on a node's connection; raises DeviceError (OPOS_E_NOHARDWARE) when the descriptor
// describes no scale, and closes fd then.
std::unique_ptr<HidScale> OpenHidConnection(HidConnection connection);

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
