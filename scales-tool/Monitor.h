// tarabo-scales monitor and record: the device behind a logical name opened, claimed and enabled
// as the console does, and every request, byte and report it exchanges shown live with what the
// device made of it, until Ctrl-C (or --for); record also keeps the traffic in a capture file.
#pragma once

#include "opos/Clock.h"
#include "opos/ScaleDevice.h"

#include <cstdint>
#include "scales-tool/TextSink.h"
#include <string>

struct MonitorOptions
{
    bool json = false;           // one JSON object per line
    bool statusLine = false;     // the latest reading kept on one line updated in place (a terminal)
    std::string captureFile;     // record: the capture written; empty for monitor
    std::int64_t forMs = -1;     // stop after this long; -1 until `stop` turns ready
};

// Watches until `stop` turns ready (Ctrl-C: a signalfd, or an event on Windows), the time is up
// or the device goes; releases and closes it then. 0 when it ended as asked, 1 when the device
// could not be opened, went away or the capture could not be written.
int RunMonitor(const std::string& name, const MonitorOptions& options, opos::WaitHandle stop, TextSink& out, TextSink& err);

// The platform's sleep on the device and the stop together, up to ms (-1: until one is ready):
// ToolPosix.cpp (poll) and ToolWin32.cpp (WaitForMultipleObjects).
enum class Woken { Device, Stop, TimeUp, Failed };
Woken WaitForDeviceOrStop(opos::WaitHandle device, opos::WaitHandle stop, std::int64_t ms);

// The words of monitor --json, which serve's events and answers share: a status, and the result
// a ReadWeight would give for a reading ({"waits":true} while it would wait).
const char* ScaleStatusName(opos::ScaleStatus status);
std::string ReadResultJson(const opos::ScaleReading& reading);
