// `driver = hid`: `device` is a /dev/hidrawN path, vendor:product in hex (the POS scale's
// collection among those with the ids), or auto (the only HID POS scale present; the default),
// found and opened through ListHidDevices and OpenHidScaleAt (hidraw nodes on Linux, the HID API
// on Windows, where device is also a \\?\hid#... path).
#include "opos/drivers/DeviceDrivers.h"

#include "opos/hid/HidDevices.h"
#include "opos/hid/HidScale.h"
#include "opos/ResultCodes.h"

#include <cstdio>

namespace opos {

namespace {
std::string idText(std::uint16_t vendor, std::uint16_t product)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendor, product);
    return text;
}

std::string nodeList(const std::vector<HidrawNode>& nodes)
{
    std::string text;
    for (const HidrawNode& node : nodes)
        text += (text.empty() ? "" : ", ") + node.path + " " + idText(node.vendor, node.product);
    return text;
}

std::unique_ptr<IScaleDevice> OpenHidScale(const DeviceSection& section)
{
    const std::string device = section.Text("device", "auto");
    if (device.rfind("/", 0) == 0 || device.rfind("\\\\", 0) == 0)
        return OpenHidScaleAt(device);
    unsigned vendor = 0, product = 0;
    char rest = 0;
    const bool byId = std::sscanf(device.c_str(), "%4x:%4x%c", &vendor, &product, &rest) == 2;
    if (!byId && device != "auto")
        section.Fail("device", "\"" + device + "\" is neither a /dev/hidrawN path, vendor:product in hex, nor auto");
    const std::string ids = idText(std::uint16_t(vendor), std::uint16_t(product));
    std::vector<HidrawNode> nodes = ListHidDevices();
    std::erase_if(nodes, [&](const HidrawNode& n) { return byId ? n.vendor != vendor || n.product != product : !n.scale; });
    if (nodes.empty())
        throw DeviceError(OPOS_E_NOHARDWARE, byId ? "no HID device " + ids + " is connected"
                                                  : "no USB HID POS scale is connected (tarabo-scales list shows what is)");
    if (!byId && nodes.size() > 1)
        section.Fail("device", "auto finds several HID POS scales (" + nodeList(nodes) + "): name one");
    if (nodes.size() == 1)
        return OpenHidScaleAt(nodes.front().path);
    // Scanner-scales and some shipping scales show a keyboard, a scanner and a scale under the
    // same ids: the scale's collection is the one meant.
    std::vector<HidrawNode> scales = nodes;
    std::erase_if(scales, [](const HidrawNode& n) { return !n.scale; });
    if (scales.empty())
        throw DeviceError(OPOS_E_NOHARDWARE, "none of the " + std::to_string(nodes.size()) + " HID collections " + ids + " (" +
                                                 nodeList(nodes) + ") is a POS scale (usage page 0x8D)");
    if (scales.size() > 1)
        section.Fail("device", ids + " finds several HID POS scales (" + nodeList(scales) + "): name one by its path");
    std::unique_ptr<IScaleDevice> opened = OpenHidScaleAt(scales.front().path);
    if (auto* scale = dynamic_cast<HidScale*>(opened.get()))
        scale->AddToDescription(", the POS scale among " + std::to_string(nodes.size()) + " HID collections " + ids);
    return opened;
}
}

DeviceDriver HidDriver() { return {"hid", {"device"}, OpenHidScale}; }

}
