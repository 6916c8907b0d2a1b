// The reasoning of doctor on Windows: pure, with no I/O.
#include "scales-tool/DoctorWindows.h"

#include <algorithm>
#include <cctype>

namespace doctor::windows {

namespace {
// Device Manager's problem codes that keep a COM port from working, from Microsoft's "Device
// Manager error messages" (learn.microsoft.com, troubleshoot: error codes in Device Manager).
struct Problem
{
    unsigned long code;
    std::string_view what;
    std::string_view fix;
};
constexpr Problem kProblems[] = {
    {1, "is not configured correctly", "update its driver: Device Manager (devmgmt.msc) > the device > Update driver"},
    {10, "cannot start", "unplug it and plug it in again; if it stays, update its driver (Device Manager > the device > Update driver)"},
    {14, "cannot work until Windows restarts", "restart Windows"},
    {18, "needs its driver reinstalled", "Device Manager > the device > Uninstall device, then unplug it and plug it in again"},
    {22, "is disabled", "pnputil /enable-device \"{id}\"   (as administrator; or Device Manager > the device > Enable device)"},
    {24, "is not present or has not all its drivers", "plug it in again; then install its driver"},
    {28, "has no driver installed", "install the adapter's driver (its maker's, or Device Manager > the device > Update driver), then: pnputil /scan-devices"},
    {31, "is not working: Windows cannot load its driver", "Device Manager > the device > Uninstall device, unplug it and plug it in again, or install its maker's driver"},
    {39, "has a driver that is corrupted or missing", "reinstall its driver (its maker's), then unplug it and plug it in again"},
    {43, "was stopped by Windows after it reported problems", "unplug it and plug it in again (another USB port, without a hub); if it stays, update its driver"},
    {45, "is not connected", "plug it in"},
    {52, "has a driver without a valid signature", "install its maker's signed driver"},
};

// Makers of USB-serial adapter chips, by USB vendor id: a device of theirs with a problem is the
// adapter the scale's port would be.
constexpr std::string_view kAdapterVendors[] = {"VID_0403", "VID_067B", "VID_10C4", "VID_1A86", "VID_04D8"};

bool isAdapter(const DeviceFacts& device)
{
    std::string id = device.instanceId;
    std::transform(id.begin(), id.end(), id.begin(), [](char c) { return char(std::toupper(static_cast<unsigned char>(c))); });
    return id.starts_with("FTDIBUS\\") ||
           (id.starts_with("USB\\") && std::any_of(std::begin(kAdapterVendors), std::end(kAdapterVendors),
                                                   [&](std::string_view vid) { return id.find(vid) != std::string::npos; }));
}

Finding problemFinding(const DeviceFacts& device)
{
    const auto known = std::find_if(std::begin(kProblems), std::end(kProblems), [&](const Problem& p) { return p.code == device.problem; });
    std::string fix = known == std::end(kProblems) ? "Device Manager (devmgmt.msc) > the device shows what Windows says of it" : std::string(known->fix);
    if (const std::size_t at = fix.find("{id}"); at != std::string::npos)
        fix.replace(at, 4, device.instanceId);
    return {true,
            device.name + " (" + device.instanceId + ") " + (known == std::end(kProblems) ? "has a problem" : std::string(known->what)) +
                ": problem code " + std::to_string(device.problem),
            fix};
}

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}
}

std::vector<Finding> DiagnosePort(const PortFacts& port)
{
    std::vector<Finding> findings;
    switch (port.open) {
    case PortOpen::Opened:
        findings.push_back({false, port.port + " opens: no other program has it", ""});
        break;
    case PortOpen::Missing:
        findings.push_back({true, port.port + " does not exist; " + (port.present.empty() ? "there are no COM ports" : "the COM ports there are: " + joined(port.present)),
                            port.present.empty() ? "plug the scale's cable or USB-serial adapter in"
                                                 : "plug the scale in, or set device = " + port.present.front() +
                                                       " (one of those) in scales.conf; Device Manager > Ports (COM & LPT) shows which is which"});
        break;
    case PortOpen::InUse:
        findings.push_back({true, port.port + " is in use: another program has it open (Windows lets one program at a time open a COM port)",
                            "close that program (the scale maker's utility, a terminal program, Tarabo.exe or another tarabo-scales); "
                            "tasklist lists what runs, taskkill /pid N ends one"});
        break;
    case PortOpen::Failed:
        findings.push_back({true, port.port + " cannot be opened: Windows error " + std::to_string(port.error), "tarabo-scales list; Device Manager (devmgmt.msc)"});
        break;
    }
    if (port.device && port.device->problem != 0)
        findings.push_back(problemFinding(*port.device));
    for (const DeviceFacts& device : port.troubled)
        if (isAdapter(device) && !(port.device && port.device->instanceId == device.instanceId))
            findings.push_back(problemFinding(device));
    return findings;
}

std::vector<Finding> DiagnoseOpos(const OposFacts& entry)
{
    const std::string key = std::string(kOposScaleKey) + entry.name, key32 = std::string(kOposScaleKey32) + entry.name;
    if (!entry.inControlView && !entry.inOtherView)
        return {{true, "no OPOS entry and no section in scales.conf is named " + entry.name,
                 "set it up with the scale maker's OPOS configuration program, or add a [" + entry.name + "] section to scales.conf"}};
    if (!entry.inControlView)
        return {{true, entry.name + " is set up in the 64-bit registry view (" + key + "), but OPOS controls are 32-bit and read " + key32,
                 "as administrator: reg copy \"" + key + "\" \"" + key32 + "\" /s /f   (or set it up with the 32-bit OPOS configuration program)"}};
    if (entry.ours)
        return {{false, entry.name + " is set up for Tarabo's own control (" + key32 + " has a driver value)", ""}};
    if (entry.serviceObject.empty())
        return {{true, "the OPOS entry of " + entry.name + " names no service object (its default value is empty)",
                 "reinstall the scale maker's OPOS service object, or set the key's default value to its ProgID"}};
    if (entry.registered)
        return {{false, "the OPOS entry of " + entry.name + " names the service object " + entry.serviceObject + ", which is registered", ""}};
    if (entry.registeredOtherView)
        return {{true, "the service object " + entry.serviceObject + " of " + entry.name + " is registered as a 64-bit object only, which the 32-bit control cannot load",
                 "install the scale maker's 32-bit OPOS package, or register its 32-bit DLL as administrator: %SystemRoot%\\SysWOW64\\regsvr32 DLL"}};
    return {{true, "the service object " + entry.serviceObject + " that the OPOS entry of " + entry.name + " names is not registered",
             "reinstall the scale maker's OPOS package, or register its DLL as administrator: regsvr32 DLL"}};
}

}
