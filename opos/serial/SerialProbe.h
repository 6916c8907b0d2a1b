// Finding the protocol and line settings of a serial scale. The quick probe listens and asks at
// the protocols' usual settings only; the thorough search listens and asks at every common speed and framing
// until answers read cleanly, through a ProbeLine, so that its strategy is tested on a fake line
// in virtual time.
#pragma once

#include "opos/serial/SerialLine.h"
#include "opos/serial/SerialProtocol.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace opos::serial {


// What the thorough search talks through: the real port (OpenProbeLine) or a test's fake.
class ProbeLine
{
public:
    virtual ~ProbeLine() = default;
    // Sets the line up afresh at these settings, dropping what was pending; false (and why) when
    // the port cannot be opened.
    virtual bool Reopen(const LineSettings& settings, std::string& error) = 0;
    virtual bool Send(std::string_view bytes) = 0;
    // Waits up to timeoutMs for bytes and appends them; false when the line has hung up.
    virtual bool Receive(int timeoutMs, std::string& into) = 0;
    virtual std::int64_t NowMs() = 0;
};
std::unique_ptr<ProbeLine> OpenProbeLine(const std::string& device);

// The settings tried, most likely first: each protocol's usual ones, then every common speed
// (9600 and its neighbours first) with every common framing.
std::vector<LineSettings> ProbeSettings();

// A protocol that decoded what came in one step.
struct ProbeHit
{
    LineSettings line;
    Protocol protocol;
    bool asked = false;  // answered its request, rather than streamed unasked
    int frames = 0;      // understood frames
    int errors = 0;      // frames the protocol calls errors or malformed
    int noise = 0;       // bytes that were no part of a frame, or failed the parity check
    Frame first;         // the first frame understood
};

// One step of the search: listening (asked null) or one protocol's request, and what came.
struct ProbeStep
{
    LineSettings line;
    const ProtocolInfo* asked = nullptr; // null when listening or asking every protocol at once
    std::string sent;           // the request, or every request at once; empty when listening
    std::string bytes;          // as read
    std::vector<ProbeHit> hits; // the protocols that understood them
};

struct ProbeResult
{
    std::vector<ProbeHit> hits; // best first
    int settingsTried = 0;
    bool timeUp = false;        // the time bound ended the search before every setting was tried
    bool settled = false;       // answers read cleanly: the search ended after that speed's framings
    std::string error;          // the port could not be opened
};

constexpr int kProbeListenMs = 300;   // listening, plus the time of kProbeFrameChars at the speed
constexpr int kProbeAnswerMs = 300;   // per request, plus the time of the request and kProbeFrameChars
constexpr int kProbeFrameChars = 24;  // the longest frame waited for
constexpr int kProbeQuietMs = 50;     // after an answer to every request at once, until the line is quiet
// The whole search, unless told otherwise.
constexpr std::int64_t kProbeBudgetMs = 60000;

// At each of ProbeSettings(), listens for a scale that streams (at the first setting of each speed;
// where something came unasked, what comes after the requests at that speed's other settings is
// read as unasked), sends every protocol's request at once, and asks each protocol that
// understood what came on its own; it ends after the framings of the first speed at which answers
// read cleanly, or after budgetMs of the line's time. `shown` sees every step that received
// bytes, as it happens.
ProbeResult SearchSerialSettings(ProbeLine& line, std::int64_t budgetMs, const std::function<void(const ProbeStep&)>& shown = {});

// True when `a` is a better find than `b`: understood frames, then clean ones, then more of them,
// then the protocol's usual settings.
bool BetterHit(const ProbeHit& a, const ProbeHit& b);

// The search of SearchSerialSettings at the protocols' usual settings only (UsualSettings():
// 9600 baud, 7E1, 8N1 and 7O1), each of them listened at or asked in, so that every family is found
// where it usually is, in a few seconds.
std::vector<LineSettings> UsualSettings();
constexpr std::int64_t kProbeQuickBudgetMs = 10000;
ProbeResult SearchUsualSettings(ProbeLine& line, std::int64_t budgetMs = kProbeQuickBudgetMs);

// SearchUsualSettings on the device: the best find, or nullopt (with `error` set when the device
// could not be opened at all or went away).
std::optional<ProbeHit> ProbeProtocol(const std::string& device, std::string& error);

}
