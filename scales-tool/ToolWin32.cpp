// tarabo-scales on Windows: list, read and probe as on Linux; monitor, record and doctor watch
// and reason about what only Linux has (signals, poll, /proc, udev), so they say so.
#include "scales-tool/ToolPlatform.h"

#include "scales-tool/Doctor.h"
#include "opos/hid/HidDevices.h"

#include <ostream>

const char kConfigurationFilesText[] = "Configuration: %ProgramData%\\Tarabo\\scales.conf, then %APPDATA%\\Tarabo\\scales.conf.\n";

namespace {
int notOnWindows(const char* command, std::ostream& err)
{
    err << "tarabo-scales: " << command << " is not available on Windows (list, read and probe are)\n";
    return 2;
}
}

std::vector<HidScaleEntry> ListHidScales()
{
    std::vector<HidScaleEntry> scales;
    for (const opos::HidrawNode& node : opos::ListHidDevices())
        if (node.scale)
            scales.push_back({node.path, node.name, node.vendor, node.product, true});
    return scales;
}

int RunMonitorCommand(const std::string& name, MonitorOptions options, std::ostream&, std::ostream& err)
{
    (void)name;
    return notOnWindows(options.captureFile.empty() ? "monitor" : "record", err);
}

int RunDoctorCommand(const std::vector<std::string>&, std::ostream&, std::ostream& err) { return notOnWindows("doctor", err); }
