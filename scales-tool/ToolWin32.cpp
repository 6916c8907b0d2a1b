// tarabo-scales on Windows: what differs from Linux is how the scales are listed, and Ctrl-C
// and the wait of monitor and record (a console control handler setting an event).
#include "scales-tool/ToolPlatform.h"

#include "opos/hid/HidDevices.h"

#include <atomic>

#include <windows.h>

using opos::WaitHandle;

const char kConfigurationFilesText[] = "Configuration: %ProgramData%\\Tarabo\\scales.conf, then %APPDATA%\\Tarabo\\scales.conf.\n";

namespace {
std::atomic<HANDLE> g_stop{nullptr};

BOOL WINAPI onConsoleControl(DWORD control)
{
    if (control != CTRL_C_EVENT && control != CTRL_BREAK_EVENT && control != CTRL_CLOSE_EVENT)
        return FALSE;
    if (const HANDLE stop = g_stop.load())
        SetEvent(stop);
    return TRUE; // the watch ends, releases the scale and closes the capture itself
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

int RunMonitorCommand(const std::string& name, MonitorOptions options, TextSink& out, TextSink& err)
{
    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop) {
        err << "tarabo-scales: cannot wait for Ctrl-C (error " << GetLastError() << ")\n";
        return 1;
    }
    g_stop = stop;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    const int status = RunMonitor(name, options, reinterpret_cast<WaitHandle>(stop), out, err);
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    g_stop = nullptr;
    CloseHandle(stop);
    return status;
}

Woken WaitForDeviceOrStop(WaitHandle device, WaitHandle stop, std::int64_t ms)
{
    // A device with nothing to wait on (a replayed HID scale, due by the clock) leaves the stop
    // alone in the set: (HANDLE)-1 would be this process, which is never signalled.
    const HANDLE handles[2] = {reinterpret_cast<HANDLE>(stop), reinterpret_cast<HANDLE>(device)};
    const DWORD count = device == opos::kNoWait ? 1 : 2;
    const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, ms < 0 ? INFINITE : DWORD(ms));
    switch (waited) {
    case WAIT_OBJECT_0: return Woken::Stop;
    case WAIT_OBJECT_0 + 1: return Woken::Device;
    case WAIT_TIMEOUT: return Woken::TimeUp;
    default: return Woken::Failed;
    }
}
