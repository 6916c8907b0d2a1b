#include "scales-tool/ScalesTool.h"

#include "opos/drivers/ConfiguredDevice.h"
#include "scales-tool/Monitor.h"
#include "opos/DeviceRegistry.h"
#include "scales-tool/Doctor.h"
#include "scales-tool/ProbeCommand.h"
#include "opos/ResultCodes.h"
#include "opos/config/ScalesConfig.h"
#include "opos/serial/SerialPorts.h"
#include "opos/StandardScaleService.h"
#include "opos/Utf8.h"
#include "opos/WeightReport.h"
#include "scales-tool/ToolPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>

using namespace opos;

namespace {
const char kUsage[] =
    "Usage: tarabo-scales list\n"
    "       tarabo-scales read NAME [--timeout MS]\n"
    "       tarabo-scales probe DEVICE [--quick] [--time-limit SECONDS]\n"
    "       tarabo-scales doctor [NAME|DEVICE]\n"
    "       tarabo-scales monitor NAME [--json] [--for MS]\n"
    "       tarabo-scales record NAME FILE [--for MS]\n"
    "       tarabo-scales --help\n"
    "\n"
    "list   the USB HID POS scales and serial ports present and the logical names configured\n"
    "read   open, claim and enable the scale configured as NAME, read one weight\n"
    "       (waiting up to MS milliseconds, 1000 unless given), release and close it\n"
    "probe  find the protocol and line settings of the serial scale on DEVICE: listen, then\n"
    "       ask in every protocol at every common speed (1200 to 115200) and framing (7E1,\n"
    "       7O1, 8N1, 8E1, 7N2), showing each answer's bytes, until a speed's answers read\n"
    "       cleanly; rank what answered and print the configuration section for the best.\n"
    "       Takes at most SECONDS (60 unless given; about 20 when nothing answers). --quick\n"
    "       asks each protocol only at its usual settings (a few seconds)\n"
    "doctor say why you can or cannot open the device of NAME, or DEVICE (every configured\n"
    "       name unless given): owner, group, mode, ACL, udev rule, the processes that\n"
    "       hold it or the claim, services that grab serial adapters; and the commands\n"
    "       that fix it\n"
    "monitor open, claim and enable NAME and show, until Ctrl-C (or MS milliseconds), every\n"
    "       request sent and every byte or report received, in hex and text, with the reading\n"
    "       decoded (or why not) and what ReadWeight would return; --json: one object a line\n"
    "record as monitor, and keep the traffic in FILE, a capture that a section with\n"
    "       driver = replay and file = FILE plays back (loop = true to repeat it, speed = 2\n"
    "       for HID reports twice as fast); the format is in tarabo-scales(1)\n"
    "\n"
    "Exit status: 0 a weight was read (or a protocol answered the probe, or doctor found\n"
    "nothing in the way), 1 no weight (the result code is printed), no answer or a problem\n"
    "found, 2 bad usage.\n"
    "monitor and record: 0 when stopped by Ctrl-C or --for, 1 when the scale cannot be opened\n"
    "or goes away.\n";

constexpr LONG kClaimTimeoutMs = 1000;

std::string resultText(LONG code)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned int>(code));
    return std::string(ResultCodeName(code)) + " (" + hex + ")";
}

void listSerialPorts(std::ostream& out)
{
    out << "Serial ports:\n";
    const std::vector<serial::SerialPort> ports = serial::ListSerialPorts();
    for (const serial::SerialPort& port : ports)
        out << "  " << port.path << (port.path == port.tty ? "" : "  -> " + port.tty)
            << (port.friendly.empty() ? "" : "  " + port.friendly) << "\n";
    if (ports.empty())
        out << "  none\n";
}

int list(std::ostream& out, std::ostream& err)
{
    out << "USB HID POS scales:\n";
    int scales = 0;
    for (const HidScaleEntry& node : ListHidScales()) {
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", node.vendor, node.product);
        out << "  " << node.path << "  " << ids << "  " << node.name << (node.access ? "" : "  (no access: see tarabo-scales(1))") << "\n";
        ++scales;
    }
    if (scales == 0)
        out << "  none\n";
    out << "Logical names:\n";
    int status = 0;
    ScalesConfig config;
    try {
        config = LoadConfiguredScales();
    } catch (const DeviceError& error) {
        err << "tarabo-scales: " << error.what() << "\n";
        status = 1;
    }
    for (const auto& [name, section] : config) {
        out << "  " << name << "  driver=" << section.Text("driver", "?") << (section.Has("device") ? "  device=" + section.Text("device", "") : "")
            << "  (" << section.file << (section.line > 0 ? " line " + std::to_string(section.line) : std::string()) << ")\n";
        try {
            CheckSection(section);
        } catch (const DeviceError& error) {
            err << "tarabo-scales: " << error.what() << "\n";
            status = 1;
        }
    }
    if (!config.count(Utf8FromUtf16(kDefaultScaleName)))
        out << "  " << Utf8FromUtf16(kDefaultScaleName) << "  driver=simulated  (built in)\n";
    listSerialPorts(out);
    return status;
}

// Prints the failing step's result; returns false when the step failed.
bool step(const char* what, LONG result, StandardScaleService& service, std::ostream& out)
{
    if (result == OPOS_SUCCESS)
        return true;
    out << what << ": " << resultText(result);
    if (result == OPOS_E_EXTENDED)
        out << ", extended " << service.ResultCodeExtended();
    out << "\n";
    return false;
}

int read(const std::string& name, LONG timeoutMs, std::ostream& out)
{
    StandardScaleService service;
    if (!step("Open", service.Open(Utf16FromUtf8(name)), service, out)) {
        out << Utf8FromUtf16(service.GetDescription()) << "\n";
        return 1;
    }
    const std::string description = Utf8FromUtf16(service.GetDescription());
    out << description << "\n";
    LONG weight = 0;
    bool read = step("Claim", service.Claim(kClaimTimeoutMs), service, out);
    if (read) {
        service.SetDeviceEnabled(true);
        read = step("ReadWeight", service.ReadWeight(weight, timeoutMs), service, out);
        // What a failed read learnt of the scale, such as an answer not understood.
        if (!read && Utf8FromUtf16(service.GetDescription()) != description)
            out << Utf8FromUtf16(service.GetDescription()) << "\n";
    }
    if (read) {
        char text[32];
        std::snprintf(text, sizeof text, "%.03f", weight * 0.001);
        out << text << " " << WeightReport::UnitSymbol(service.GetWeightUnit()) << "\n";
    }
    service.Release();
    service.Close();
    return read ? 0 : 1;
}

// [--json] [--for MS] after the positional arguments; false on anything else.
bool monitorOptions(const std::vector<std::string>& args, std::size_t from, bool jsonAllowed, MonitorOptions& options)
{
    for (std::size_t i = from; i < args.size(); ++i) {
        if (args[i] == "--json" && jsonAllowed) {
            options.json = true;
        } else if (args[i] == "--for" && i + 1 < args.size()) {
            char* end = nullptr;
            const long long ms = std::strtoll(args[++i].c_str(), &end, 10);
            if (args[i].empty() || *end || ms < 0 || ms > 24LL * 3600 * 1000)
                return false;
            options.forMs = ms;
        } else {
            return false;
        }
    }
    return true;
}

int usage(std::ostream& err, const std::string& why)
{
    err << "tarabo-scales: " << why << "\n" << kUsage << kConfigurationFilesText;
    return 2;
}
}

int RunScalesTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage << kConfigurationFilesText;
        return 0;
    }
    if (args.size() == 1 && args[0] == "list")
        return list(out, err);
    if (!args.empty() && args[0] == "probe") {
        const int status = RunProbeCommand({args.begin() + 1, args.end()}, out, err);
        return status >= 0 ? status : usage(err, "probe takes a device (a tty path), --quick and --time-limit SECONDS (1 to 3600)");
    }
    if (!args.empty() && args[0] == "doctor") {
        const int status = RunDoctorCommand({args.begin() + 1, args.end()}, out, err);
        return status >= 0 ? status : usage(err, "doctor takes at most one logical name or device path");
    }
    MonitorOptions options;
    if (!args.empty() && args[0] == "monitor")
        return args.size() >= 2 && monitorOptions(args, 2, true, options)
                   ? RunMonitorCommand(args[1], options, out, err)
                   : usage(err, "monitor takes a logical name (and --json, --for MS)");
    if (!args.empty() && args[0] == "record") {
        if (args.size() < 3 || !monitorOptions(args, 3, false, options))
            return usage(err, "record takes a logical name and a file (and --for MS)");
        options.captureFile = args[2];
        return RunMonitorCommand(args[1], options, out, err);
    }
    if (!args.empty() && args[0] == "read") {
        if (args.size() != 2 && !(args.size() == 4 && args[2] == "--timeout"))
            return usage(err, "read takes a logical name (and --timeout MS)");
        LONG timeoutMs = 1000;
        if (args.size() == 4) {
            char* end = nullptr;
            const long value = std::strtol(args[3].c_str(), &end, 10);
            if (args[3].empty() || *end || value < -1 || value > 3600000)
                return usage(err, "--timeout takes milliseconds from -1 (no limit) to 3600000");
            timeoutMs = LONG(value);
        }
        return read(args[1], timeoutMs, out);
    }
    return usage(err, args.empty() ? "a command is needed" : "unknown command \"" + args[0] + "\"");
}
