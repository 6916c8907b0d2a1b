#include "scales-tool/Monitor.h"

#include "scales-tool/JsonString.h"

#include "opos/config/ScalesConfig.h"
#include "opos/replay/CaptureRecorder.h"
#include "opos/ResultCodes.h"
#include "opos/serial/SerialScale.h"
#include "opos/StandardScaleService.h"
#include "opos/TrafficTap.h"
#include "opos/Utf8.h"
#include "opos/WeightReport.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace opos;

namespace {

constexpr LONG kClaimTimeoutMs = 1000;

std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}


std::string weightText(LONG weight, LONG unit)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.3f %s", weight * 0.001, WeightReport::UnitSymbol(unit));
    return text;
}

// What ReadWeight returns for the reading, by the state model's own mapping; a stable zero is
// shown as waiting, with a word on zero-valid.
std::optional<ReadResult> outcomeOf(const ScaleReading& reading) { return ReadResultOf(reading, false); }

std::string outcomeText(const ScaleReading& reading, LONG unit)
{
    const std::optional<ReadResult> o = outcomeOf(reading);
    if (!o)
        return std::string("ReadWeight waits (") + (reading.status == ScaleStatus::StableZero ? "0 with zero-valid, else " : "") +
               "OPOS_E_TIMEOUT at its time-out)";
    std::string text = "ReadWeight " + std::string(ResultCodeName(o->result));
    if (o->result == OPOS_SUCCESS)
        text.append(" ").append(weightText(o->weight, unit)); // not " " + ...: MinGW's GCC 12 warns falsely of an overlap
    if (o->extended)
        text += o->extended == OPOS_ESCAL_OVERWEIGHT ? " OPOS_ESCAL_OVERWEIGHT" : " OPOS_ESCAL_UNDERWEIGHT";
    return text;
}



const char* directionName(CaptureDirection direction)
{
    switch (direction) {
    case CaptureDirection::Sent: return "sent";
    case CaptureDirection::Received: return "received";
    case CaptureDirection::Asked: return "asked";
    }
    return "?";
}

// Every event as one line (plain or JSON) on `out`, and to the recorder when recording. Lines
// are flushed once per look at the device, so a streaming scale costs one write per wake-up.
class MonitorTap : public TrafficTap
{
public:
    MonitorTap(const MonitorOptions& options, TextSink& out, std::FILE* capture)
        : m_options(options), m_out(out), m_capture(capture), m_startMs(steadyMs())
    {
        if (capture)
            m_recorder.emplace([this](std::string_view text) { Keep(text); }, "tarabo-scales " TARABO_VERSION);
    }

    void Opened(const CaptureHeader& device) override
    {
        m_watching = true;
        m_requestDriven = device.driver == "serial";
        if (m_recorder)
            m_recorder->Opened(device);
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", device.vendor, device.product);
        const std::string settings = device.driver == "serial"
                                         ? device.protocol + " " + std::to_string(device.baud) + " " + device.framing
                                         : ids + std::string(" ") + device.name;
        if (m_options.json)
            Line("{\"ms\":" + std::to_string(Ms()) + ",\"event\":\"opened\",\"driver\":" + JsonString(device.driver) +
                 ",\"device\":" + JsonString(device.device) + ",\"settings\":" + JsonString(settings) + "}");
        else
            Line(Time() + "  opened " + device.driver + " " + device.device + " (" + settings + ")");
    }

    void Bytes(CaptureDirection direction, const std::uint8_t* bytes, std::size_t size) override
    {
        const std::int64_t ms = Ms();
        const std::string hex = HexText(bytes, size), text = PrintableText(bytes, size);
        if (m_recorder)
            m_recorder->Bytes(direction, bytes, size);
        ++m_events;
        if (m_options.json)
            Line("{\"ms\":" + std::to_string(ms) + ",\"event\":\"" + directionName(direction) + "\",\"hex\":\"" + hex +
                 "\",\"text\":" + JsonString(text) + "}");
        else
            Line(Time() + "  " + char(direction) + "  " + Padded(hex, 47) + "  " + text);
    }

    void Decoded(const ScaleReading& reading, LONG unit) override
    {
        m_reading = reading;
        m_unit = unit;
        m_decoded = true;
        std::string what = ScaleStatusName(reading.status);
        if (reading.status == ScaleStatus::Stable || reading.status == ScaleStatus::InMotion)
            what.append(" ").append(weightText(reading.weight, unit));
        if (m_recorder)
            m_recorder->Decoded(reading, unit);
        if (m_options.json)
            Line("{\"ms\":" + std::to_string(Ms()) + ",\"event\":\"reading\",\"status\":\"" + ScaleStatusName(reading.status) +
                 "\",\"weight\":" + std::to_string(reading.weight) + ",\"unit\":\"" + WeightReport::UnitSymbol(unit) +
                 "\",\"readWeight\":" + ReadResultJson(reading) + "}");
        else
            Line(Time() + "  =  " + Padded(what, 47) + "  " + outcomeText(reading, unit));
    }

    void NotDecoded(std::string_view why) override
    {
        if (m_recorder)
            m_recorder->NotDecoded(why);
        if (m_options.json)
            Line("{\"ms\":" + std::to_string(Ms()) + ",\"event\":\"not-decoded\",\"why\":" + JsonString(why) +
                 ",\"readWeight\":" + ReadResultJson(m_reading) + "}");
        else
            Line(Time() + "  !  " + Padded("not decoded: " + std::string(why), 47) + "  " + outcomeText(m_reading, m_unit));
    }

    void Note(const std::string& what)
    {
        if (m_options.json)
            Line("{\"ms\":" + std::to_string(Ms()) + ",\"event\":\"note\",\"text\":" + JsonString(what) + "}");
        else
            Line(Time() + "  " + what);
    }

    // The lines of one look at the device go out together; the status line comes back after them.
    void Flush()
    {
        if (m_options.statusLine && !m_options.json)
            m_out << "\r\033[K" << (m_decoded ? outcomeText(m_reading, m_unit) : "no reading yet") << "  (" << m_events
                  << " events)";
        m_out.Flush();
        errno = 0;
        if (m_capture && std::fflush(m_capture) != 0 && !m_writeError)
            m_writeError = errno ? errno : EIO;
    }
    // Why the capture could not be written (a full disk), 0 while it is whole.
    int WriteError() const { return m_writeError; }
    // Leaves the status line where it is, for what follows.
    void Finish()
    {
        Flush();
        if (m_options.statusLine && !m_options.json) {
            m_out << "\n";
            m_out.Flush();
        }
    }

    bool RequestDriven() const { return m_requestDriven; }
    bool Watching() const { return m_watching; } // the device tells its traffic (hid, serial, replay)
    bool Recording() const { return m_recorder && m_recorder->Started(); }

private:
    std::int64_t Ms() const { return steadyMs() - m_startMs; }
    std::string Time() const
    {
        char text[24];
        std::snprintf(text, sizeof text, "%10.3f", double(Ms()) / 1000);
        return text;
    }
    static std::string Padded(std::string text, std::size_t width)
    {
        if (text.size() < width)
            text.resize(width, ' ');
        return text;
    }
    void Keep(std::string_view text)
    {
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), m_capture) != text.size() && !m_writeError)
            m_writeError = errno ? errno : EIO;
    }
    void Line(const std::string& line)
    {
        if (m_options.statusLine && !m_options.json)
            m_out << "\r\033[K";
        m_out << line << "\n";
    }

    const MonitorOptions& m_options;
    TextSink& m_out;
    std::FILE* m_capture;
    std::int64_t m_startMs;
    ScaleReading m_reading; // the latest, for what ReadWeight would say
    LONG m_unit = 0;
    long m_events = 0;
    std::optional<CaptureRecorder> m_recorder;
    bool m_requestDriven = false, m_decoded = false, m_watching = false;
    int m_writeError = 0;
};

// Prints the failing step's result; false when it failed.
bool step(const char* what, LONG result, StandardScaleService& service, TextSink& err)
{
    if (result == OPOS_SUCCESS)
        return true;
    err << "tarabo-scales: " << what << ": " << ResultCodeName(result) << ": " << Utf8FromUtf16(service.GetDescription()) << "\n";
    return false;
}

// Sleeps on the device and the stop together; looks at the device after every wake-up.
// A serial scale answers only when asked: its next request is due kRepeatMs after an answer.
int watch(StandardScaleService& service, MonitorTap& tap, const MonitorOptions& options, WaitHandle stop)
{
    const std::int64_t deadline = options.forMs < 0 ? -1 : steadyMs() + options.forMs;
    LONG weight = 0;
    service.ReadWeight(weight, 0); // the first request, or the HID scale's current report
    tap.Flush();
    for (;;) {
        std::int64_t timeout = tap.RequestDriven() ? serial::SerialScale::kRepeatMs : -1;
        // A replayed HID scale has no descriptor to wait on: its next report is due by the clock.
        if (service.DeviceWaitable() == kNoWait) {
            const std::int64_t now = CurrentClock().NowMs(), due = service.DeviceNextChangeMs(now);
            timeout = due == IScaleDevice::kNoChange ? timeout : std::max<std::int64_t>(due - now, 1);
        }
        if (deadline >= 0) {
            const std::int64_t rest = std::max<std::int64_t>(deadline - steadyMs(), 0);
            timeout = timeout < 0 ? rest : std::min(timeout, rest);
        }
        const Woken woken = WaitForDeviceOrStop(service.DeviceWaitable(), stop, timeout);
        if (woken == Woken::Failed)
            return 1;
        if (woken == Woken::Stop || (deadline >= 0 && steadyMs() >= deadline))
            return 0;
        LONG data = 0;
        std::optional<std::u16string> text;
        const LONG result = service.DirectIO(WeightReport::kCommand, data, text);
        tap.Flush();
        if (tap.WriteError())
            return 1; // the capture is cut short: recording on would claim what it cannot keep
        if (result == OPOS_E_OFFLINE) {
            tap.Note("the device is gone (unplugged, a read error or a hang-up)");
            return 1;
        }
    }
}
}

const char* ScaleStatusName(ScaleStatus status)
{
    switch (status) {
    case ScaleStatus::Stable: return "stable";
    case ScaleStatus::InMotion: return "in-motion";
    case ScaleStatus::StableZero: return "stable-zero";
    case ScaleStatus::UnderZero: return "under-zero";
    case ScaleStatus::OverCapacity: return "over-capacity";
    case ScaleStatus::Fault: return "fault";
    case ScaleStatus::Gone: return "gone";
    case ScaleStatus::NotUnderstood: return "not-understood";
    }
    return "?";
}

std::string ReadResultJson(const ScaleReading& reading)
{
    const std::optional<ReadResult> o = outcomeOf(reading);
    if (!o)
        return "{\"waits\":true}";
    return "{\"result\":" + std::to_string(o->result) + ",\"name\":\"" + ResultCodeName(o->result) + "\"" +
           (o->extended ? ",\"extended\":" + std::to_string(o->extended) : "") +
           (o->result == OPOS_SUCCESS ? ",\"weight\":" + std::to_string(o->weight) : "") + "}";
}

int RunMonitor(const std::string& name, const MonitorOptions& options, WaitHandle stop, TextSink& out, TextSink& err)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> capture(
        options.captureFile.empty() ? nullptr : OpenNamedFile(options.captureFile, true), std::fclose);
    if (!options.captureFile.empty()) {
        if (!capture) {
            err << "tarabo-scales: " << options.captureFile << ": cannot write: " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    MonitorTap tap(options, out, capture.get());
    TrafficTapOverride tapGuard(tap);
    StandardScaleService service;
    if (!step("Open", service.Open(Utf16FromUtf8(name)), service, err))
        return 1;
    int status = 1;
    if (!tap.Watching() || (capture && !tap.Recording()))
        err << "tarabo-scales: " << name << " (" << Utf8FromUtf16(service.GetDescription())
            << ") has no traffic to watch: monitor and record watch hid, serial and replay devices\n";
    else if (step("Claim", service.Claim(kClaimTimeoutMs), service, err)) {
        service.SetDeviceEnabled(true);
        tap.Note(Utf8FromUtf16(service.GetDescription()));
        tap.Flush();
        status = watch(service, tap, options, stop);
        tap.Finish();
        service.Release();
    }
    service.Close();
    errno = 0;
    if (capture && (tap.WriteError() || std::fflush(capture.get()) != 0)) {
        err << "tarabo-scales: " << options.captureFile << ": cannot write: " << std::strerror(tap.WriteError() ? tap.WriteError() : errno)
            << "; the capture is cut short\n";
        return 1;
    }
    return status;
}
