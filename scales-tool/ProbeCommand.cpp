#include "scales-tool/ProbeCommand.h"

#include "opos/DeviceRegistry.h"
#include "opos/serial/SerialPorts.h"
#include "opos/serial/SerialProbe.h"
#include "opos/Utf8.h"
#include "opos/WeightReport.h"

#include <cstdio>
#include <cstdlib>

using namespace opos;
using namespace opos::serial;

namespace {
constexpr int kDefaultLimitS = int(kProbeBudgetMs / 1000);

void printSection(TextSink& out, const std::string& device, const ProtocolInfo& info, const LineSettings& line)
{
    out << "[" << Utf8FromUtf16(kDefaultScaleName) << "]\ndriver = serial\ndevice = " << StableSerialPath(device)
        << "\nprotocol = " << info.name << "\nbaud = " << line.baud << "\nframing = " << FramingText(line.framing) << "\n";
}

std::string settingsText(const LineSettings& line) { return std::to_string(line.baud) + " " + FramingText(line.framing); }

std::string frameText(const Frame& frame)
{
    std::string text = "error";
    switch (frame.kind) {
    case FrameKind::Weight: text = "weight"; break;
    case FrameKind::Motion: text = "in motion"; break;
    case FrameKind::OverCapacity: text = "over capacity"; break;
    case FrameKind::UnderZero: text = "under zero"; break;
    case FrameKind::NotReady: text = "not ready"; break;
    case FrameKind::Fault: text = "fault: " + frame.text; break;
    case FrameKind::Error: text = "error: " + frame.text; break;
    case FrameKind::Identity: text = "identity " + frame.text; break;
    case FrameKind::NotUnderstood: text = "not understood"; break;
    case FrameKind::Acknowledged: text = "acknowledged"; break;
    }
    if (frame.kind == FrameKind::Weight || frame.kind == FrameKind::Motion) {
        char weight[32];
        std::snprintf(weight, sizeof weight, " %.03f", frame.weight * 0.001);
        text += weight + (frame.unit ? " " + std::string(WeightReport::UnitSymbol(frame.unit)) : "");
    }
    return text;
}

std::string requestText(std::string_view request)
{
    std::string text;
    for (const char c : request) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        text += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c >= 0x20 && c < 0x7f ? std::string(1, c) : escaped;
    }
    return text;
}

int quick(const std::string& device, TextSink& out, TextSink& err)
{
    std::string error;
    const std::optional<ProbeHit> hit = ProbeProtocol(device, error);
    if (!hit) {
        if (!error.empty())
            err << "tarabo-scales: " << error << "\n";
        else {
            std::string tried;
            for (const LineSettings& line : UsualSettings())
                tried += (tried.empty() ? "" : ", ") + settingsText(line);
            out << "No scale answered on " << device << " in any serial protocol at its usual settings (" << tried
                << "; listening, then asking).\n";
        }
        return 1;
    }
    const ProtocolInfo& info = Info(hit->protocol);
    out << "A " << info.title << " scale " << (hit->asked ? "answered" : "sends unasked") << " on " << device << " ("
        << settingsText(hit->line) << "). A section that uses it:\n\n";
    printSection(out, device, info, hit->line);
    return 0;
}

int thorough(const std::string& device, int limitS, TextSink& out, TextSink& err)
{
    const std::unique_ptr<ProbeLine> line = OpenProbeLine(device);
    out << "Listening, then asking in every protocol at once and in each that understood the answer, at up to "
        << ProbeSettings().size() << " settings of speed and framing on " << device << " (at most " << limitS
        << " s; it stops after the speed at which answers read cleanly):\n";
    const ProbeResult result = SearchSerialSettings(*line, limitS * 1000LL, [&out](const ProbeStep& step) {
        out << "  " << settingsText(step.line) << "  "
            << (step.asked ? std::string(step.asked->name) + " \"" + requestText(step.sent) + "\""
                : step.sent.empty() ? "listening"
                                    : "all \"" + requestText(step.sent) + "\"")
            << ": "
            << HexAndText(step.bytes);
        for (const ProbeHit& hit : step.hits)
            out << "  " << Info(hit.protocol).name << ": " << frameText(hit.first);
        out << "\n";
        out.Flush();
    });
    if (!result.error.empty() && result.settingsTried == 0) {
        err << "tarabo-scales: " << result.error << "\n";
        return 1;
    }
    if (!result.error.empty())
        err << "tarabo-scales: " << device << ": " << result.error << "\n";
    if (result.timeUp)
        out << "Time was up after " << result.settingsTried << " of " << ProbeSettings().size() << " settings.\n";
    else if (result.settled)
        out << "Answers read cleanly at " << result.hits.front().line.baud << " baud: the search ended there, after "
            << result.settingsTried << " of " << ProbeSettings().size() << " settings.\n";
    if (result.hits.empty()) {
        out << "No scale answered on " << device << " at any of the settings tried.\n";
        return 1;
    }
    out << "What answered, best first:\n";
    for (const ProbeHit& hit : result.hits)
        out << "  " << Info(hit.protocol).name << " at " << settingsText(hit.line) << (hit.asked ? ", asked" : ", unasked")
            << ": " << hit.frames << " frame(s) understood, " << hit.errors << " not, " << hit.noise << " byte(s) of noise\n";
    const ProbeHit& best = result.hits.front();
    out << "A section for the best:\n\n";
    printSection(out, device, Info(best.protocol), best.line);
    return 0;
}
}

std::string HexAndText(const std::string& bytes)
{
    std::string hex, text;
    for (const char c : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
        hex += (hex.empty() ? "" : " ") + std::string(digits);
        text += c >= 0x20 && c < 0x7f ? c : '.';
    }
    return hex + "  |" + text + "|";
}

int RunProbeCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err)
{
    std::string device;
    bool quickOnly = false;
    int limitS = kDefaultLimitS;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--quick") {
            quickOnly = true;
        } else if (args[i] == "--time-limit" && i + 1 < args.size()) {
            char* end = nullptr;
            const long value = std::strtol(args[++i].c_str(), &end, 10);
            if (args[i].empty() || *end || value < 1 || value > 3600)
                return -1;
            limitS = int(value);
        } else if (device.empty() && !args[i].starts_with("-")) {
            device = args[i];
        } else {
            return -1;
        }
    }
    if (device.empty())
        return -1;
    return quickOnly ? quick(device, out, err) : thorough(device, limitS, out, err);
}
