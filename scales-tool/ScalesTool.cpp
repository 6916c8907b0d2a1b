#include "scales-tool/ScalesTool.h"
#include "scales-tool/CommandLine.h"

#include "opos/drivers/ConfiguredDevice.h"
#include "scales-tool/Monitor.h"
#include "opos/DeviceRegistry.h"
#include "scales-tool/Doctor.h"
#include "scales-tool/ProbeCommand.h"
#include "scales-tool/serve/Serve.h"
#include "opos/ResultCodes.h"
#include "opos/config/ScalesConfig.h"
#include "opos/serial/SerialPorts.h"
#include "opos/StandardScaleService.h"
#include "opos/Utf8.h"
#include "opos/WeightReport.h"
#include "scales-tool/ToolPlatform.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

using namespace opos;

namespace {
const char kUsage[] =
    "Usage: tarabo-scales list\n"
    "       tarabo-scales read NAME [--timeout MS]\n"
    "       tarabo-scales probe DEVICE [--quick] [--time-limit SECONDS]\n"
    "       tarabo-scales doctor [NAME|DEVICE]\n"
    "       tarabo-scales monitor NAME [--json] [--for MS]\n"
    "       tarabo-scales record NAME FILE [--for MS]\n"
    "       tarabo-scales serve [--listen ADDR:PORT] [--token-file FILE]\n"
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
    "       listens and asks only at the protocols' usual settings (9600 7E1, 8N1, 7O1: a\n"
    "       few seconds)\n"
    "doctor say why you can or cannot open the device of NAME, or DEVICE (every configured\n"
    "       name unless given): owner, group, mode, ACL, udev rule, the processes that\n"
    "       hold it or the claim, services that grab serial adapters; and the commands\n"
    "       that fix it; on Windows: the COM port, its device's driver and problem code,\n"
    "       the OPOS registry entry and its service object\n"
    "monitor open, claim and enable NAME and show, until Ctrl-C (or MS milliseconds), every\n"
    "       request sent and every byte or report received, in hex and text, with the reading\n"
    "       decoded (or why not) and what ReadWeight would return; --json: one object a line\n"
    "record as monitor, and keep the traffic in FILE, a capture that a section with\n"
    "       driver = replay and file = FILE plays back (loop = true to repeat it, speed = 2\n"
    "       for HID reports twice as fast); the format is in tarabo-scales(1)\n"
    "Options go before or after the names: --for 500 or --for=500.\n"
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

void listSerialPorts(TextSink& out)
{
    out << "Serial ports:\n";
    const std::vector<serial::SerialPort> ports = serial::ListSerialPorts();
    for (const serial::SerialPort& port : ports)
        out << "  " << port.path << (port.path == port.tty ? "" : "  -> " + port.tty)
            << (port.friendly.empty() ? "" : "  " + port.friendly) << "\n";
    if (ports.empty())
        out << "  none\n";
}

int list(TextSink& out, TextSink& err)
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
bool step(const char* what, LONG result, StandardScaleService& service, TextSink& out)
{
    if (result == OPOS_SUCCESS)
        return true;
    out << what << ": " << resultText(result);
    if (result == OPOS_E_EXTENDED)
        out << ", extended " << service.ResultCodeExtended();
    out << "\n";
    return false;
}

int read(const std::string& name, LONG timeoutMs, TextSink& out)
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

int usage(TextSink& err, const std::string& why)
{
    err << "tarabo-scales: " << why << "\n";
    return 2;
}

constexpr long long kDayMs = 24LL * 3600 * 1000;

const Command kCommands[] = {
    {"list", "list takes nothing", {}, 0, {}, [](const Options&, TextSink& out, TextSink& err) { return list(out, err); }},
    {"read", "read takes a logical name (and --timeout MS)", {"NAME"}, 1,
     {{"--timeout", Option::Number, [](Options& o, const std::string&, long long n) { o.timeoutMs = n; }, -1, 3600000,
       "milliseconds (-1: no limit)"}},
     [](const Options& o, TextSink& out, TextSink&) { return read(o.names[0], LONG(o.timeoutMs), out); }},
    {"probe", "probe takes a device (a tty path or COM port), --quick and --time-limit SECONDS", {"DEVICE"}, 1,
     {{"--quick", Option::Flag, [](Options& o, const std::string&, long long) { o.quick = true; }},
      {"--time-limit", Option::Number, [](Options& o, const std::string&, long long n) { o.timeLimitS = n; }, 1, 3600, "seconds"}},
     [](const Options& o, TextSink& out, TextSink& err) {
         std::vector<std::string> args{o.names[0]};
         if (o.quick)
             args.push_back("--quick");
         if (o.timeLimitS > 0)
             args.insert(args.end(), {"--time-limit", std::to_string(o.timeLimitS)});
         return RunProbeCommand(args, out, err);
     }},
    {"doctor", "doctor takes at most one logical name or device", {"NAME|DEVICE"}, 0, {},
     [](const Options& o, TextSink& out, TextSink& err) {
         return RunDoctorCommand(o.names.empty() || o.names[0].empty() ? std::vector<std::string>{} : o.names, out, err);
     }},
    {"monitor", "monitor takes a logical name (and --json, --for MS)", {"NAME"}, 1,
     {{"--json", Option::Flag, [](Options& o, const std::string&, long long) { o.monitor.json = true; }},
      {"--for", Option::Number, [](Options& o, const std::string&, long long n) { o.monitor.forMs = n; }, 0, kDayMs, "milliseconds"}},
     [](const Options& o, TextSink& out, TextSink& err) { return RunMonitorCommand(o.names[0], o.monitor, out, err); }},
    {"record", "record takes a logical name and a file (and --for MS)", {"NAME", "FILE"}, 2,
     {{"--for", Option::Number, [](Options& o, const std::string&, long long n) { o.monitor.forMs = n; }, 0, kDayMs, "milliseconds"}},
     [](const Options& o, TextSink& out, TextSink& err) {
         MonitorOptions monitor = o.monitor;
         monitor.captureFile = o.names[1];
         return RunMonitorCommand(o.names[0], monitor, out, err);
     }},
    {"serve", "serve takes --listen ADDR:PORT and --token-file FILE", {}, 0,
     {{"--listen", Option::Text, [](Options& o, const std::string& text, long long) { o.listen = text; }},
      {"--token-file", Option::Text, [](Options& o, const std::string& text, long long) { o.tokenFile = text; }}},
     [](const Options& o, TextSink& out, TextSink& err) {
         std::vector<std::string> args;
         if (!o.listen.empty())
             args.insert(args.end(), {"--listen", o.listen});
         if (!o.tokenFile.empty())
             args.insert(args.end(), {"--token-file", o.tokenFile});
         return RunServeCommand(args, out, err);
     }},
};

}

int RunScalesTool(const std::vector<std::string>& args, TextSink& out, TextSink& err)
{
    const auto isCommand = [](const std::string& arg) {
        return std::any_of(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return arg == c.name; });
    };
    const auto given = std::find_if(args.begin(), args.end(), [](const std::string& arg) { return !arg.starts_with("-"); });
    const bool help = std::any_of(args.begin(), args.end(), [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
    if (help && (given == args.end() || isCommand(*given))) {
        out << kUsage << kConfigurationFilesText;
        return 0;
    }
    if (given == args.end())
        return usage(err, "a command is needed; tarabo-scales --help lists them");
    if (!isCommand(*given))
        return usage(err, "unknown command \"" + *given + "\"; tarabo-scales --help lists them");
    const Command& command = *std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return *given == c.name; });
    Options options;
    const std::string mistake = ReadCommandLine(command, args, options);
    if (!mistake.empty())
        return usage(err, mistake + "\ntarabo-scales: " + command.takes + "; tarabo-scales --help shows how");
    const int status = command.run(options, out, err);
    return status >= 0 ? status : usage(err, std::string(command.takes) + "; tarabo-scales --help shows how");
}
