// The configured scales as serve shares them: each opened and claimed only while a request or a
// live stream needs it, one user of a device at a time, with what it said kept for the live
// streams, the live page and the metrics.
#pragma once

#include "framework/AfxTypes.h"
#include "opos/config/ScalesConfig.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace serve {

struct Scale;

struct Outcome
{
    enum class Kind { Done, NotFound, Held, Busy, TooMany };
    Kind kind = Kind::Done;
    std::string step;             // the OPOS step that ended it: Open, Claim, ReadWeight, DirectIO
    LONG result = 0, extended = 0, weight = 0, unit = 0;
    std::string description;      // the service's description (with an answer not understood)
    std::string why;              // Held, Busy, TooMany: in words
    std::string Json(const std::string& name) const;
};

class ScaleHub
{
public:
    // The configured names, and the built-in simulated scale when no section takes its name.
    // healthIntervalS > 0: every so often a short read of each scale no stream watches, so the
    // metrics say whether it answers even when nobody weighs.
    ScaleHub(const opos::ScalesConfig& config, int healthIntervalS);
    ~ScaleHub();
    ScaleHub(const ScaleHub&) = delete;
    ScaleHub& operator=(const ScaleHub&) = delete;

    std::string ListJson();
    // One read as tarabo-scales read makes it: open, claim, enable, ReadWeight, release, close
    // (on the open device while a stream watches it).
    Outcome Read(const std::string& name, long timeoutMs);
    // Direct IO's zero command, where the device can zero.
    Outcome Zero(const std::string& name);

    // A live stream: the first opens and claims the scale and watches it; the last lets go.
    // `from` is where the stream starts reading events.
    Outcome Attach(const std::string& name, std::uint64_t& from);
    void Detach(const std::string& name);
    // The events after `from` (advanced past them), waiting up to waitMs for one; false when the
    // scale is no longer watched.
    bool NextEvents(const std::string& name, std::uint64_t& from, std::vector<std::string>& events, int waitMs);

    std::string Metrics();
    void Stop();

private:
    Scale* Find(const std::string& name) const;
    void Watch(Scale& scale);
    void HealthLoop(int intervalS);

    std::vector<std::unique_ptr<Scale>> m_scales;
    std::atomic<bool> m_stopping{false};
    std::mutex m_healthMutex;
    std::condition_variable m_healthWake;
    std::thread m_health;
    std::unique_ptr<struct ServeTap> m_tap;
};

// The process that holds the claim of the logical name, in words ("process 812 (tarabo)");
// "another program" when it cannot be seen.
std::string ClaimHolder(const std::string& name);

}
