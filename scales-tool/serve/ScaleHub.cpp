#include "scales-tool/serve/ScaleHub.h"

#include "opos/DeviceRegistry.h"
#include "opos/ResultCodes.h"
#include "opos/StandardScaleService.h"
#include "opos/TrafficTap.h"
#include "opos/Utf8.h"
#include "opos/WeightReport.h"
#include "opos/serial/SerialScale.h"
#include "scales-tool/Doctor.h"
#include "scales-tool/JsonString.h"
#include "scales-tool/Monitor.h"
#include "scales-tool/serve/ServeRequest.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include <poll.h>

using namespace opos;

namespace serve {

namespace {
constexpr std::size_t kEventsKept = 256; // a stream further behind misses the oldest
constexpr std::size_t kAnswersKept = 5;
constexpr int kIdlePollMs = 100;         // a device with nothing to wait on, or none open
constexpr int kReopenMs = 1000;
constexpr LONG kHealthTimeoutMs = 500;
constexpr int kBusyMarginMs = 2000;      // beyond a read's own time-out, for the user before it

std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}



std::string labelValue(const std::string& text)
{
    std::string value;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            value += {'\\', c};
        else if (c == '\n')
            value += "\\n";
        else
            value += c;
    }
    return value;
}

std::string unitLabel(LONG unit)
{
    std::string symbol = WeightReport::UnitSymbol(unit);
    for (char& c : symbol)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return symbol;
}
}

// One configured name. The device mutex keeps one user of the device at a time; the rest is
// guarded by `mutex`.
struct Scale
{
    std::string name, driver, device;
    std::timed_mutex deviceMutex;
    std::mutex attachMutex;
    std::unique_ptr<StandardScaleService> live; // open and claimed while streams watch
    std::thread watcher;

    std::mutex mutex;
    std::condition_variable changed;
    int streams = 0;
    bool watching = false;
    std::deque<std::string> events;
    std::uint64_t firstEvent = 0; // the number of events.front()
    std::deque<std::string> answers;
    std::string state = "idle", weightText;
    bool serialLine = false;
    std::uint64_t received = 0, notUnderstood = 0, transmissionErrors = 0, reconnects = 0;
    std::map<std::pair<LONG, LONG>, std::uint64_t> reads;
    std::optional<bool> up;
    bool lost = false;           // gone or not opened since it last answered
    std::int64_t lastGoodMs = -1;
    std::optional<std::pair<LONG, LONG>> stable; // weight, unit

    std::string Labels() const
    {
        return "name=\"" + labelValue(name) + "\",driver=\"" + labelValue(driver) + "\",device=\"" + labelValue(device) + "\"";
    }
    void Event(const std::string& json) // with `mutex` held
    {
        events.push_back(json);
        if (events.size() > kEventsKept) {
            events.pop_front();
            ++firstEvent;
        }
        changed.notify_all();
    }
};

namespace {
thread_local Scale* t_scale = nullptr; // the scale whose device this thread is using

class Using
{
public:
    explicit Using(Scale& scale) : m_previous(t_scale) { t_scale = &scale; }
    ~Using() { t_scale = m_previous; }

private:
    Scale* m_previous;
};

std::int64_t g_startMs = steadyMs();
std::string eventHead(const char* event) { return "{\"ms\":" + std::to_string(steadyMs() - g_startMs) + ",\"event\":\"" + event + "\""; }
}

// What every device of this process sends and receives, handed to the scale the thread is using.
struct ServeTap : TrafficTap
{
    void Opened(const CaptureHeader& device) override
    {
        Scale* scale = t_scale;
        if (!scale)
            return;
        std::lock_guard lock(scale->mutex);
        scale->serialLine = device.driver == "serial";
        scale->Event(eventHead("opened") + ",\"driver\":" + JsonString(device.driver) + ",\"device\":" + JsonString(device.device) + "}");
    }
    void Bytes(CaptureDirection direction, const std::uint8_t* bytes, std::size_t size) override
    {
        Scale* scale = t_scale;
        if (!scale)
            return;
        const char* name = direction == CaptureDirection::Sent ? "sent" : direction == CaptureDirection::Received ? "received" : "asked";
        const std::string json = eventHead(name) + ",\"hex\":\"" + HexText(bytes, size) + "\",\"text\":" + JsonString(PrintableText(bytes, size)) + "}";
        std::lock_guard lock(scale->mutex);
        if (direction == CaptureDirection::Received) {
            ++scale->received;
            scale->answers.push_back(json);
            if (scale->answers.size() > kAnswersKept)
                scale->answers.pop_front();
        }
        scale->Event(json);
    }
    void Decoded(const ScaleReading& reading, LONG unit) override
    {
        Scale* scale = t_scale;
        if (!scale)
            return;
        std::lock_guard lock(scale->mutex);
        if (reading.status == ScaleStatus::NotUnderstood)
            ++scale->notUnderstood;
        else if (reading.status != ScaleStatus::Gone && reading.status != ScaleStatus::Fault)
            Good(*scale, reading, unit);
        scale->Event(eventHead("reading") + ",\"status\":\"" + ScaleStatusName(reading.status) + "\",\"weight\":" + std::to_string(reading.weight) +
                     ",\"unit\":\"" + WeightReport::UnitSymbol(unit) + "\",\"readWeight\":" + ReadResultJson(reading) + "}");
    }
    void NotDecoded(std::string_view why) override
    {
        Scale* scale = t_scale;
        if (!scale)
            return;
        std::lock_guard lock(scale->mutex);
        // A serial frame that fails its checks is a transmission error; the reports a HID scale
        // sends while it has no weight are its normal operation.
        if (why == "answer not understood")
            ++scale->notUnderstood;
        else if (scale->serialLine)
            ++scale->transmissionErrors;
        scale->Event(eventHead("not-decoded") + ",\"why\":" + JsonString(why) + "}");
    }
    static void Good(Scale& scale, const ScaleReading& reading, LONG unit)
    {
        scale.lastGoodMs = steadyMs();
        if (reading.status == ScaleStatus::Stable || reading.status == ScaleStatus::StableZero)
            scale.stable = std::pair(reading.status == ScaleStatus::Stable ? reading.weight : 0, unit);
    }

    std::optional<TrafficTapOverride> override_;
};

std::string Outcome::Json(const std::string& name) const
{
    std::string json = "{\"name\":" + JsonString(name);
    if (kind != Kind::Done)
        return json + ",\"error\":" + JsonString(why) + "}";
    char weightText[32];
    std::snprintf(weightText, sizeof weightText, "%.3f", weight * 0.001);
    json += ",\"step\":" + JsonString(step) + ",\"result\":" + std::to_string(result) + ",\"resultName\":" + JsonString(ResultCodeName(result)) +
            ",\"extended\":" + std::to_string(extended);
    if (step == "ReadWeight" && result == OPOS_SUCCESS)
        json += ",\"weight\":" + std::string(weightText) + ",\"unit\":" + JsonString(WeightReport::UnitSymbol(unit));
    return json + ",\"description\":" + JsonString(description) + "}";
}

std::string ClaimHolder(const std::string& name)
{
    namespace fs = std::filesystem;
    std::ifstream in("/proc/net/unix");
    std::ostringstream text;
    text << in.rdbuf();
    const unsigned long inode = doctor::AbstractSocketInode(text.str(), "tarabo-opos-claim-" + name);
    if (inode == 0)
        return "another program";
    const std::string socket = "socket:[" + std::to_string(inode) + "]";
    std::error_code ec;
    for (const fs::directory_entry& dir : fs::directory_iterator("/proc", ec)) {
        const std::string pid = dir.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        for (const fs::directory_entry& fd : fs::directory_iterator(dir.path() / "fd", ec)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError).string() != socket)
                continue;
            std::ifstream comm(dir.path() / "comm");
            std::string command;
            std::getline(comm, command);
            return "process " + pid + " (" + command + ")";
        }
    }
    return "another program";
}

ScaleHub::ScaleHub(const ScalesConfig& config, int healthIntervalS) : m_tap(std::make_unique<ServeTap>())
{
    m_tap->override_.emplace(*m_tap);
    for (const auto& [name, section] : config) {
        auto scale = std::make_unique<Scale>();
        scale->name = name;
        scale->driver = section.Text("driver", "?");
        scale->device = section.Text(scale->driver == "replay" ? "file" : "device", "");
        m_scales.push_back(std::move(scale));
    }
    if (!config.count(Utf8FromUtf16(kDefaultScaleName))) {
        auto scale = std::make_unique<Scale>();
        scale->name = Utf8FromUtf16(kDefaultScaleName);
        scale->driver = "simulated";
        m_scales.push_back(std::move(scale));
    }
    if (healthIntervalS > 0)
        m_health = std::thread([this, healthIntervalS] { HealthLoop(healthIntervalS); });
}

ScaleHub::~ScaleHub() { Stop(); }

void ScaleHub::Stop()
{
    {
        std::lock_guard lock(m_healthMutex);
        m_stopping = true;
    }
    m_healthWake.notify_all();
    if (m_health.joinable())
        m_health.join();
    for (const auto& scale : m_scales) {
        {
            std::lock_guard lock(scale->mutex);
            scale->watching = false;
            scale->changed.notify_all();
        }
        std::lock_guard attach(scale->attachMutex);
        if (scale->watcher.joinable())
            scale->watcher.join();
    }
}

Scale* ScaleHub::Find(const std::string& name) const
{
    for (const auto& scale : m_scales)
        if (scale->name == name)
            return scale.get();
    return nullptr;
}

std::string ScaleHub::ListJson()
{
    std::string json = "[";
    for (const auto& scale : m_scales) {
        std::lock_guard lock(scale->mutex);
        json += std::string(json.size() > 1 ? "," : "") + "{\"name\":" + JsonString(scale->name) + ",\"driver\":" + JsonString(scale->driver) +
                ",\"device\":" + JsonString(scale->device) + ",\"state\":" + JsonString(scale->state) +
                ",\"weight\":" + JsonString(scale->weightText) + ",\"answers\":[";
        for (std::size_t i = 0; i < scale->answers.size(); ++i)
            json += (i ? "," : "") + scale->answers[i];
        json += "]}";
    }
    return json + "]";
}

namespace {
// Opens and claims the scale for one use; Done with the failing step otherwise.
Outcome openAndClaim(Scale& scale, StandardScaleService& service)
{
    Outcome outcome;
    outcome.step = "Open";
    outcome.result = service.Open(Utf16FromUtf8(scale.name));
    if (outcome.result == OPOS_SUCCESS) {
        outcome.step = "Claim";
        outcome.result = service.Claim(0);
        if (outcome.result == OPOS_E_TIMEOUT) {
            outcome.kind = Outcome::Kind::Held;
            outcome.why = scale.name + " is claimed by " + ClaimHolder(scale.name);
        }
    }
    outcome.description = Utf8FromUtf16(service.GetDescription());
    return outcome;
}

void noteResult(Scale& scale, const Outcome& outcome, std::uint64_t receivedBefore)
{
    std::lock_guard lock(scale.mutex);
    if (outcome.kind != Outcome::Kind::Done)
        return;
    ++scale.reads[{outcome.result, outcome.extended}];
    const bool answered = scale.received > receivedBefore || outcome.result == OPOS_SUCCESS || outcome.result == OPOS_E_EXTENDED ||
                          outcome.result == OPOS_E_FAILURE;
    if (answered && scale.lost)
        ++scale.reconnects;
    if (answered)
        scale.lost = false;
    else if (outcome.result == OPOS_E_OFFLINE || (outcome.step == "Open" && outcome.result != OPOS_SUCCESS))
        scale.lost = true;
    scale.up = answered;
    if (outcome.step == "ReadWeight" && (outcome.result == OPOS_SUCCESS || outcome.result == OPOS_E_EXTENDED)) {
        scale.lastGoodMs = steadyMs();
        if (outcome.result == OPOS_SUCCESS)
            scale.stable = std::pair(outcome.weight, outcome.unit);
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.3f %s", outcome.weight * 0.001, WeightReport::UnitSymbol(outcome.unit));
    scale.weightText = outcome.step == "ReadWeight" && outcome.result == OPOS_SUCCESS ? text : "";
    scale.state = outcome.step == "ReadWeight" && outcome.result == OPOS_SUCCESS ? "weighed" : std::string(ResultCodeName(outcome.result));
}
}

Outcome ScaleHub::Read(const std::string& name, long timeoutMs)
{
    Scale* scale = Find(name);
    if (!scale)
        return {Outcome::Kind::NotFound, "", 0, 0, 0, 0, "", "no scale is configured under the name \"" + name + "\""};
    std::unique_lock device(scale->deviceMutex, std::defer_lock);
    if (!device.try_lock_for(std::chrono::milliseconds(timeoutMs + kBusyMarginMs)))
        return {Outcome::Kind::Busy, "", 0, 0, 0, 0, "", name + " is busy with another request"};
    Using using_(*scale);
    std::uint64_t receivedBefore;
    {
        std::lock_guard lock(scale->mutex);
        receivedBefore = scale->received;
    }
    std::optional<StandardScaleService> own;
    StandardScaleService* service = scale->live.get();
    Outcome outcome;
    if (!service) {
        own.emplace();
        outcome = openAndClaim(*scale, *own);
        if (outcome.kind != Outcome::Kind::Done || outcome.result != OPOS_SUCCESS) {
            noteResult(*scale, outcome, receivedBefore);
            return outcome;
        }
        service = &*own;
        service->SetDeviceEnabled(true);
    }
    outcome.step = "ReadWeight";
    outcome.result = service->ReadWeight(outcome.weight, LONG(timeoutMs));
    outcome.extended = outcome.result == OPOS_E_EXTENDED ? service->ResultCodeExtended() : 0;
    outcome.unit = service->GetWeightUnit();
    outcome.description = Utf8FromUtf16(service->GetDescription());
    if (own) {
        own->Release();
        own->Close();
    }
    noteResult(*scale, outcome, receivedBefore);
    return outcome;
}

Outcome ScaleHub::Zero(const std::string& name)
{
    Scale* scale = Find(name);
    if (!scale)
        return {Outcome::Kind::NotFound, "", 0, 0, 0, 0, "", "no scale is configured under the name \"" + name + "\""};
    std::unique_lock device(scale->deviceMutex, std::defer_lock);
    if (!device.try_lock_for(std::chrono::milliseconds(kBusyMarginMs)))
        return {Outcome::Kind::Busy, "", 0, 0, 0, 0, "", name + " is busy with another request"};
    Using using_(*scale);
    std::optional<StandardScaleService> own;
    StandardScaleService* service = scale->live.get();
    Outcome outcome;
    if (!service) {
        own.emplace();
        outcome = openAndClaim(*scale, *own);
        if (outcome.kind != Outcome::Kind::Done || outcome.result != OPOS_SUCCESS)
            return outcome;
        service = &*own;
    }
    LONG data = 0;
    std::optional<std::u16string> text;
    outcome.step = "DirectIO";
    outcome.result = service->DirectIO(serial::SerialScale::kCommandZero, data, text);
    outcome.description = Utf8FromUtf16(service->GetDescription());
    if (own) {
        own->Release();
        own->Close();
    }
    return outcome;
}

Outcome ScaleHub::Attach(const std::string& name, std::uint64_t& from)
{
    constexpr int kStreamsPerScale = 8;
    Scale* scale = Find(name);
    if (!scale)
        return {Outcome::Kind::NotFound, "", 0, 0, 0, 0, "", "no scale is configured under the name \"" + name + "\""};
    std::lock_guard attach(scale->attachMutex); // one stream starts or ends the watch at a time
    {
        std::lock_guard lock(scale->mutex);
        if (scale->streams >= kStreamsPerScale)
            return {Outcome::Kind::TooMany, "", 0, 0, 0, 0, "", name + " has as many live streams as it serves"};
        from = scale->firstEvent + scale->events.size();
        if (scale->watching) {
            ++scale->streams;
            return {};
        }
    }
    if (scale->watcher.joinable())
        scale->watcher.join(); // the last watch, ending
    std::unique_lock device(scale->deviceMutex, std::defer_lock);
    if (!device.try_lock_for(std::chrono::milliseconds(kBusyMarginMs)))
        return {Outcome::Kind::Busy, "", 0, 0, 0, 0, "", name + " is busy with another request"};
    auto service = std::make_unique<StandardScaleService>();
    Outcome outcome;
    {
        Using using_(*scale);
        outcome = openAndClaim(*scale, *service);
    }
    if (outcome.kind != Outcome::Kind::Done || outcome.result != OPOS_SUCCESS)
        return outcome;
    service->SetDeviceEnabled(true);
    scale->live = std::move(service);
    std::lock_guard lock(scale->mutex);
    scale->streams = 1;
    scale->watching = true;
    scale->state = "live";
    scale->watcher = std::thread([this, scale] { Watch(*scale); });
    return {};
}

void ScaleHub::Detach(const std::string& name)
{
    Scale* scale = Find(name);
    if (!scale)
        return;
    std::lock_guard lock(scale->mutex);
    if (scale->streams > 0 && --scale->streams == 0) {
        scale->watching = false; // the watcher lets go of the device
        scale->changed.notify_all();
    }
}

bool ScaleHub::NextEvents(const std::string& name, std::uint64_t& from, std::vector<std::string>& events, int waitMs)
{
    Scale* scale = Find(name);
    if (!scale)
        return false;
    std::unique_lock lock(scale->mutex);
    scale->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                            [&] { return !scale->watching || scale->firstEvent + scale->events.size() > from; });
    from = std::max(from, scale->firstEvent);
    for (; from < scale->firstEvent + scale->events.size(); ++from)
        events.push_back(scale->events[from - scale->firstEvent]);
    return scale->watching && !m_stopping;
}

// Looks at the device after every wake-up, as monitor does, with the live streams as its output;
// a device gone is opened again every second until the last stream goes.
void ScaleHub::Watch(Scale& scale)
{
    Using using_(scale);
    std::string lastAnswer;
    std::int64_t reopenAt = -1;
    {
        std::lock_guard device(scale.deviceMutex);
        LONG weight = 0;
        scale.live->ReadWeight(weight, 0); // the first request, or the HID scale's current report
    }
    for (;;) {
        {
            std::lock_guard lock(scale.mutex);
            if (!scale.watching || m_stopping)
                break;
        }
        int timeout = kIdlePollMs;
        WaitHandle waitable = kNoWait;
        {
            std::lock_guard device(scale.deviceMutex);
            if (scale.live)
                waitable = scale.live->DeviceWaitable();
        }
        if (waitable != kNoWait) {
            pollfd fd{int(waitable), POLLIN, 0};
            timeout = std::min<int>(timeout, serial::SerialScale::kRepeatMs);
            ::poll(&fd, 1, timeout);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
        }
        std::lock_guard device(scale.deviceMutex);
        if (!scale.live) {
            if (steadyMs() < reopenAt)
                continue;
            auto service = std::make_unique<StandardScaleService>();
            const Outcome outcome = openAndClaim(scale, *service);
            reopenAt = steadyMs() + kReopenMs;
            if (outcome.kind != Outcome::Kind::Done || outcome.result != OPOS_SUCCESS)
                continue;
            service->SetDeviceEnabled(true);
            scale.live = std::move(service);
            std::lock_guard lock(scale.mutex);
            ++scale.reconnects;
            scale.Event(eventHead("note") + ",\"text\":" + JsonString("opened again: " + Utf8FromUtf16(scale.live->GetDescription())) + "}");
        }
        LONG data = 0;
        std::optional<std::u16string> text;
        const LONG result = scale.live->DirectIO(WeightReport::kCommand, data, text);
        std::lock_guard lock(scale.mutex);
        if (result == OPOS_E_OFFLINE) {
            scale.Event(eventHead("note") + ",\"text\":\"the device is gone (unplugged, a read error or a hang-up)\"}");
            scale.up = false;
            scale.lost = true;
            scale.state = "gone";
            scale.live->Release();
            scale.live->Close();
            scale.live.reset();
            reopenAt = steadyMs() + kReopenMs;
            continue;
        }
        // What the console's weight display shows, as it changes: every device, traffic or not.
        const std::string answer = text ? Utf8FromUtf16(*text) : "";
        if (answer != lastAnswer) {
            lastAnswer = answer;
            const bool valid = data != WeightReport::kStatusInvalidWeight;
            scale.up = true;
            scale.weightText = valid ? answer : "";
            scale.Event(eventHead("weight") + ",\"valid\":" + (valid ? "true" : "false") + ",\"text\":" + JsonString(answer) + "}");
        }
    }
    std::lock_guard device(scale.deviceMutex);
    if (scale.live) {
        scale.live->Release();
        scale.live->Close();
        scale.live.reset();
    }
    std::lock_guard lock(scale.mutex);
    scale.state = "idle";
    scale.changed.notify_all();
}

void ScaleHub::HealthLoop(int intervalS)
{
    std::unique_lock lock(m_healthMutex);
    while (!m_healthWake.wait_for(lock, std::chrono::seconds(intervalS), [&] { return m_stopping.load(); })) {
        lock.unlock();
        for (const auto& scale : m_scales) {
            bool watched;
            {
                std::lock_guard scaleLock(scale->mutex);
                watched = scale->watching;
            }
            if (!watched && !m_stopping)
                Read(scale->name, kHealthTimeoutMs);
        }
        lock.lock();
    }
}

std::string ScaleHub::Metrics()
{
    struct Family
    {
        const char* name;
        const char* type;
        const char* help;
    };
    static const Family kFamilies[] = {
        {"tarabo_scale_up", "gauge", "Whether the scale answered its last read (1) or not (0)."},
        {"tarabo_scale_reads_total", "counter", "Reads of the scale by OPOS result code and extended code."},
        {"tarabo_scale_answers_not_understood_total", "counter", "Answers of the scale in a form not understood."},
        {"tarabo_scale_transmission_errors_total", "counter", "Serial frames that failed their checks."},
        {"tarabo_scale_reconnects_total", "counter", "Times the scale answered again after it was gone or could not be opened."},
        {"tarabo_scale_seconds_since_good_reading", "gauge", "Seconds since the scale last gave a reading (+Inf: never)."},
        {"tarabo_scale_last_stable_weight", "gauge", "The last settled weight, in the unit of the unit label."},
    };
    std::ostringstream out;
    const std::int64_t now = steadyMs();
    for (const Family& family : kFamilies) {
        out << "# HELP " << family.name << " " << family.help << "\n# TYPE " << family.name << " " << family.type << "\n";
        const std::string metric = family.name;
        for (const auto& scale : m_scales) {
            std::lock_guard lock(scale->mutex);
            const std::string labels = scale->Labels();
            if (metric == "tarabo_scale_up" && scale->up)
                out << metric << "{" << labels << "} " << (*scale->up ? 1 : 0) << "\n";
            else if (metric == "tarabo_scale_reads_total")
                for (const auto& [key, count] : scale->reads)
                    out << metric << "{" << labels << ",result=\"" << ResultCodeName(key.first) << "\",code=\"" << key.first << "\",extended=\""
                        << key.second << "\"} " << count << "\n";
            else if (metric == "tarabo_scale_answers_not_understood_total")
                out << metric << "{" << labels << "} " << scale->notUnderstood << "\n";
            else if (metric == "tarabo_scale_transmission_errors_total")
                out << metric << "{" << labels << "} " << scale->transmissionErrors << "\n";
            else if (metric == "tarabo_scale_reconnects_total")
                out << metric << "{" << labels << "} " << scale->reconnects << "\n";
            else if (metric == "tarabo_scale_seconds_since_good_reading") {
                char value[32];
                std::snprintf(value, sizeof value, "%.3f", (now - scale->lastGoodMs) / 1000.0);
                out << metric << "{" << labels << "} " << (scale->lastGoodMs < 0 ? "+Inf" : value) << "\n";
            } else if (metric == "tarabo_scale_last_stable_weight" && scale->stable) {
                char value[32];
                std::snprintf(value, sizeof value, "%.3f", scale->stable->first * 0.001);
                out << metric << "{" << labels << ",unit=\"" << labelValue(unitLabel(scale->stable->second)) << "\"} " << value << "\n";
            }
        }
    }
    return out.str();
}

}
