// What tarabo-scales does differently on each platform: ToolPosix.cpp (Linux) and ToolWin32.cpp.
#pragma once

#include "scales-tool/Monitor.h"

#include <cstdint>
#include "scales-tool/TextSink.h"
#include <string>
#include <vector>

struct HidScaleEntry
{
    std::string path;
    std::string name;
    std::uint16_t vendor = 0, product = 0;
    bool access = true; // the user may open it
};

// The USB HID POS scales present.
std::vector<HidScaleEntry> ListHidScales();

// monitor and record, until Ctrl-C, --for or the device goes; what RunMonitor returns, or 2
// where the platform has neither.
int RunMonitorCommand(const std::string& name, MonitorOptions options, TextSink& out, TextSink& err);

// The last line of the usage: where the configuration is read from.
extern const char kConfigurationFilesText[];
