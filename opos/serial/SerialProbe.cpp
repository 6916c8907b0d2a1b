#include "opos/serial/SerialProbe.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <set>
#include <tuple>

namespace opos::serial {

namespace {
class PortProbeLine : public ProbeLine
{
public:
    explicit PortProbeLine(std::string device) : m_device(std::move(device)) {}

    bool Reopen(const LineSettings& settings, std::string& error) override
    {
        m_line.reset();
        SerialLine::Opened opened = SerialLine::Open(m_device, settings);
        if (!opened.line) {
            error = opened.error;
            return false;
        }
        m_line = std::move(opened.line);
        m_line->MarkBadCharacters();
        return true;
    }
    bool Send(std::string_view bytes) override { return m_line && m_line->Send(bytes); }
    bool Receive(int timeoutMs, std::string& into) override
    {
        return m_line && m_line->Receive(timeoutMs, into) != SerialLine::Input::HungUp;
    }
    std::int64_t NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

private:
    std::string m_device;
    std::unique_ptr<SerialLine> m_line;
};

// What arrives within waitMs; it ends early once `enough` holds of what came, and then, with
// quietMs, only when the line has been quiet that long (so that late answers are not left to the
// next step). `hungUp` set when the line went away.
template <class Enough>
std::string collect(ProbeLine& line, int waitMs, bool& hungUp, Enough enough, int quietMs = 0)
{
    std::string bytes;
    const std::int64_t deadline = line.NowMs() + waitMs;
    bool done = false;
    for (std::int64_t now = line.NowMs(); now < deadline && !hungUp; now = line.NowMs()) {
        const std::size_t had = bytes.size();
        hungUp = !line.Receive(int(done ? std::min<std::int64_t>(quietMs, deadline - now) : deadline - now), bytes);
        if (done && bytes.size() == had)
            break;
        if (!done && (done = enough(bytes)) && quietMs == 0)
            break;
    }
    return bytes;
}

bool understood(const Frame& frame)
{
    switch (frame.kind) {
    case FrameKind::Weight:
    case FrameKind::Motion:
    case FrameKind::OverCapacity:
    case FrameKind::UnderZero:
    case FrameKind::NotReady:
    case FrameKind::Fault:
    case FrameKind::Error: // a request refused in this protocol's own words still names the protocol
    case FrameKind::Acknowledged: // an ENQ/DC1 scale's ACK: its weight would follow DC1
        return true;
    case FrameKind::Identity:
    case FrameKind::NotUnderstood:
        return false;
    }
    return false;
}

// The protocol's reading of what came; nullopt when it understood no frame in it.
std::optional<ProbeHit> decode(Protocol protocol, const LineSettings& line, std::string_view raw, bool asked)
{
    ProbeHit hit{line, protocol, asked, 0, 0, 0, {}};
    std::string bytes;
    for (const char c : raw) {
        // At 8 data bits a set top bit is a 7-bit scale's parity bit: the framing is not the
        // scale's. (A character the port found broken comes as a NUL, which no frame takes.)
        if (line.framing.dataBits == 8 && (c & 0x80))
            ++hit.noise;
        bytes.push_back(char(c & 0x7f));
    }
    std::string_view rest = bytes;
    bool framed = asked; // listening begins anywhere in a frame: what precedes the first is no noise
    while (!rest.empty()) {
        const Parsed parsed = ParseFrame(protocol, rest);
        framed = framed || parsed.frame;
        if (!parsed.frame) {
            const std::string_view skipped = rest.substr(0, parsed.consumed);
            // A line end left between frames is no noise either.
            hit.noise += framed ? int(std::ranges::count_if(skipped, [](char c) { return c != '\r' && c != '\n'; })) : 0;
        } else if (!understood(*parsed.frame))
            ++hit.errors;
        else {
            hit.errors += parsed.frame->kind == FrameKind::Error; // ranks below a clean answer
            if (hit.frames++ == 0)
                hit.first = *parsed.frame;
        }
        if (parsed.consumed == 0)
            break; // a frame begun and not finished
        rest.remove_prefix(std::min(parsed.consumed, rest.size()));
    }
    return hit.frames > 0 ? std::optional(hit) : std::nullopt;
}

int usualness(const ProbeHit& hit)
{
    const ProtocolInfo& info = Info(hit.protocol);
    return (hit.line.baud == info.baud) + (hit.line.framing == info.framing);
}

void addHit(std::vector<ProbeHit>& hits, const ProbeHit& hit)
{
    // A scale that streams is heard while listening and again after a request: once is enough.
    if (std::none_of(hits.begin(), hits.end(), [&](const ProbeHit& h) {
            return h.protocol == hit.protocol && h.line.baud == hit.line.baud && h.line.framing == hit.line.framing;
        }))
        hits.push_back(hit);
}

bool clean(const ProbeHit& hit) { return hit.frames > 0 && hit.noise + hit.errors == 0; }

// How long one character takes on the line at these settings.
double charMs(const LineSettings& line)
{
    const Framing& f = line.framing;
    return (1 + f.dataBits + (f.parity != 'N') + f.stopBits) * 1000.0 / line.baud;
}

// Every protocol's request in one go: those that end a line first (MT-SICS's CR LF before the
// CR-ended ones, so that an MT-SICS scale reads its SI before any other line), then the bare
// ones, and a CR LF that ends whatever half line they left in a scale's buffer.
std::string burstRequest()
{
    std::string lf, cr, bare;
    for (const ProtocolInfo& info : Protocols())
        (info.request.ends_with('\n') ? lf : info.request.ends_with('\r') ? cr : bare) += info.request;
    return lf + cr + bare + "\r\n";
}

// The search of SearchSerialSettings. At each setting it listens (at a speed's first setting; at
// the others, when something came unasked at that speed, the protocols that stream read what
// comes after the requests: a scale that streams is heard, as garbage, at every speed), then
// sends every request at once and asks each protocol that understood what came on its own, so
// that a find is always the answer to that protocol's own request. It ends after the framings of
// the first speed at which a protocol's answers read cleanly.
class Search
{
public:
    Search(ProbeLine& line, std::int64_t budgetMs, const std::function<void(const ProbeStep&)>& shown)
        : m_line(line), m_budgetMs(budgetMs), m_start(line.NowMs()), m_shown(shown)
    {
    }

    ProbeResult Run(const std::vector<LineSettings>& tried)
    {
        std::optional<int> settledBaud;
        for (const LineSettings& settings : tried) {
            if (settledBaud && settings.baud != *settledBaud)
                continue;
            std::string error;
            if (!m_line.Reopen(settings, error)) {
                if (m_result.settingsTried > 0)
                    continue; // a speed or framing this port refuses
                m_result.error = error;
                return m_result;
            }
            ++m_result.settingsTried;
            if (trySetting(settings) && !settledBaud)
                settledBaud = settings.baud;
            if (m_hungUp) {
                m_result.error = "the line hung up (was the adapter pulled?)";
                break;
            }
            if (m_result.timeUp)
                break;
        }
        m_result.settled = settledBaud.has_value();
        std::stable_sort(m_result.hits.begin(), m_result.hits.end(), BetterHit);
        return m_result;
    }

private:
    bool timeFor(int ms)
    {
        if (m_line.NowMs() - m_start + ms > m_budgetMs)
            m_result.timeUp = true;
        return !m_result.timeUp && !m_hungUp;
    }

    // Shows a step that received bytes, and keeps its hits when they are finds.
    void show(const ProbeStep& step, bool keep)
    {
        if (step.bytes.empty())
            return;
        if (step.sent.empty())
            m_heard.insert(step.line.baud);
        if (m_shown)
            m_shown(step);
        if (keep)
            for (const ProbeHit& hit : step.hits)
                addHit(m_result.hits, hit);
    }

    // What the protocols (those with a request, when asked) understood of the bytes.
    static std::vector<ProbeHit> decodeAll(const LineSettings& settings, std::string_view bytes, bool asked)
    {
        std::vector<ProbeHit> hits;
        for (const ProtocolInfo& info : Protocols())
            if (!asked || !info.request.empty())
                if (std::optional<ProbeHit> hit = decode(info.protocol, settings, bytes, asked))
                    hits.push_back(*hit);
        return hits;
    }

    // True when an answer read cleanly at these settings.
    bool trySetting(const LineSettings& settings)
    {
        const double ms = charMs(settings);
        // Where something streams, the window of the requests serves as the listen as well.
        const bool streaming = m_heard.count(settings.baud) > 0;
        bool quiet = !streaming; // nothing came unasked
        if (m_listened.insert(settings.baud).second) {
            const int listenMs = kProbeListenMs + int(kProbeFrameChars * ms);
            if (!timeFor(listenMs))
                return false;
            ProbeStep heard{settings, nullptr, {}, collect(m_line, listenMs, m_hungUp, [&](const std::string& got) {
                                return std::ranges::any_of(decodeAll(settings, got, false), clean);
                            }), {}};
            heard.hits = decodeAll(settings, heard.bytes, false);
            show(heard, true);
            if (std::ranges::any_of(heard.hits, clean))
                return true;
            quiet = heard.bytes.empty();
        }
        const int answerMs = kProbeAnswerMs + int(double(m_burst.size() + kProbeFrameChars) * ms);
        if (!timeFor(answerMs))
            return false;
        m_line.Send(m_burst);
        ProbeStep burst{settings, nullptr, m_burst, collect(m_line, answerMs, m_hungUp, [&](const std::string& got) {
                            return !decodeAll(settings, got, true).empty() ||
                                   (streaming && std::ranges::any_of(decodeAll(settings, got, false), clean));
                        }, streaming ? 0 : kProbeQuietMs + int(4 * ms)), {}}; // a stream is never quiet
        const std::vector<ProbeHit> candidates = decodeAll(settings, burst.bytes, true);
        // On a line that streams what came is unasked, as when listening.
        burst.hits = streaming ? decodeAll(settings, burst.bytes, false) : candidates;
        show(burst, streaming);
        if (std::ranges::any_of(burst.hits, clean) && streaming)
            return true;
        // Something answered that no protocol understood, on a line quiet before: ask each.
        const bool askAll = candidates.empty() && !burst.bytes.empty() && quiet;
        bool found = false;
        for (const ProtocolInfo& info : Protocols())
            if (!info.request.empty() && (askAll || std::ranges::any_of(candidates, [&](const ProbeHit& h) { return h.protocol == info.protocol; })))
                found = ask(settings, info) || found;
        return found;
    }

    // One protocol's request on its own; true when its answer read cleanly.
    bool ask(const LineSettings& settings, const ProtocolInfo& info)
    {
        const int answerMs = kProbeAnswerMs + int(double(info.request.size() + kProbeFrameChars) * charMs(settings));
        if (!timeFor(answerMs))
            return false;
        m_line.Send(info.request);
        std::optional<ProbeHit> hit;
        ProbeStep answer{settings, &info, std::string(info.request), collect(m_line, answerMs, m_hungUp, [&](const std::string& got) {
                             return (hit = decode(info.protocol, settings, got, true)).has_value();
                         }), {}};
        if (hit)
            answer.hits.push_back(*hit);
        show(answer, true);
        return hit && clean(*hit);
    }

    ProbeLine& m_line;
    const std::int64_t m_budgetMs;
    const std::int64_t m_start;
    const std::function<void(const ProbeStep&)>& m_shown;
    const std::string m_burst = burstRequest();
    ProbeResult m_result;
    bool m_hungUp = false;
    std::set<int> m_listened, m_heard; // speeds listened at; speeds at which something came unasked
};

}

std::unique_ptr<ProbeLine> OpenProbeLine(const std::string& device) { return std::make_unique<PortProbeLine>(device); }

std::optional<ProbeHit> ProbeProtocol(const std::string& device, std::string& error)
{
    PortProbeLine line(device);
    ProbeResult result = SearchUsualSettings(line);
    error = result.error;
    return result.hits.empty() ? std::nullopt : std::optional(result.hits.front());
}

std::vector<LineSettings> UsualSettings()
{
    std::vector<LineSettings> settings;
    for (const ProtocolInfo& info : Protocols())
        if (std::none_of(settings.begin(), settings.end(), [&](const LineSettings& t) { return t.baud == info.baud && t.framing == info.framing; }))
            settings.push_back({info.baud, info.framing});
    return settings;
}

std::vector<LineSettings> ProbeSettings()
{
    static constexpr std::array<int, 8> bauds{9600, 19200, 4800, 2400, 1200, 38400, 57600, 115200};
    static constexpr std::array<Framing, 5> framings{{{7, 'E', 1}, {7, 'O', 1}, {8, 'N', 1}, {8, 'E', 1}, {7, 'N', 2}}};
    std::vector<LineSettings> settings = UsualSettings();
    const auto add = [&](const LineSettings& s) {
        if (std::none_of(settings.begin(), settings.end(), [&](const LineSettings& t) { return t.baud == s.baud && t.framing == s.framing; }))
            settings.push_back(s);
    };
    for (const int baud : bauds)
        for (const Framing& framing : framings)
            add({baud, framing});
    return settings;
}

bool BetterHit(const ProbeHit& a, const ProbeHit& b)
{
    const auto key = [](const ProbeHit& h) { return std::tuple(h.frames > 0, -(h.noise + h.errors), h.frames, usualness(h)); };
    return key(a) > key(b);
}

ProbeResult SearchSerialSettings(ProbeLine& line, std::int64_t budgetMs, const std::function<void(const ProbeStep&)>& shown)
{
    return Search(line, budgetMs, shown).Run(ProbeSettings());
}

ProbeResult SearchUsualSettings(ProbeLine& line, std::int64_t budgetMs)
{
    const std::function<void(const ProbeStep&)> none;
    return Search(line, budgetMs, none).Run(UsualSettings());
}

}
