// The HID devices present and opening a scale among them, the same on every platform: hidraw
// nodes on Linux (Hidraw.h), the Windows HID API there (HidApiScale.h). The hid driver and
// tarabo-scales list go through these two.
#pragma once

#include "opos/ScaleDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace opos {

struct HidrawNode
{
    std::string path; // /dev/hidrawN; on Windows the device interface path (\\?\hid#vid_...)
    std::string name;
    std::uint16_t vendor = 0, product = 0;
    bool scale = false; // a scale data report is among its reports
};

// In the system's order (hidraw10 after hidraw9); each with its platform's test override.
std::vector<HidrawNode> ListHidDevices();
// Raises DeviceError (OPOS_E_NOHARDWARE) saying why the scale at path cannot be opened.
std::unique_ptr<IScaleDevice> OpenHidScaleAt(const std::string& path);

}
