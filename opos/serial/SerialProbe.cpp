#include "opos/serial/SerialProbe.h"

#include <algorithm>
#include <array>
#include <chrono>
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

// What arrives within waitMs, or until `enough` says so; `hungUp` set when the line went away.
template <class Enough>
std::string collect(ProbeLine& line, int waitMs, bool& hungUp, Enough enough)
{
    std::string bytes;
    const std::int64_t deadline = line.NowMs() + waitMs;
    for (std::int64_t now = line.NowMs(); now < deadline && !hungUp; now = line.NowMs()) {
        hungUp = !line.Receive(int(deadline - now), bytes);
        if (enough(bytes))
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
    while (!rest.empty()) {
        const Parsed parsed = ParseFrame(protocol, rest);
        if (!parsed.frame)
            hit.noise += int(parsed.consumed);
        else if (!understood(*parsed.frame))
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
}

std::unique_ptr<ProbeLine> OpenProbeLine(const std::string& device) { return std::make_unique<PortProbeLine>(device); }

std::optional<Protocol> ProbeProtocol(const std::string& device, int answerWaitMs, std::string& error)
{
    PortProbeLine line(device);
    // MT-SICS and NCI requests end their lines; the bare Toledo W last, so it cannot run into
    // another protocol's request in a scale's buffer.
    for (const Protocol protocol : {Protocol::Sics, Protocol::Nci, Protocol::Toledo}) {
        const ProtocolInfo& info = Info(protocol);
        if (!line.Reopen({info.baud, info.framing}, error))
            return std::nullopt;
        bool hungUp = false, answered = false;
        if (line.Send(info.request))
            collect(line, answerWaitMs, hungUp, [&](const std::string& bytes) {
                return answered = decode(protocol, {info.baud, info.framing}, bytes, true).has_value();
            });
        if (answered)
            return protocol;
    }
    return std::nullopt;
}

std::vector<LineSettings> ProbeSettings()
{
    static constexpr std::array<int, 8> bauds{9600, 19200, 4800, 2400, 1200, 38400, 57600, 115200};
    static constexpr std::array<Framing, 5> framings{{{7, 'E', 1}, {7, 'O', 1}, {8, 'N', 1}, {8, 'E', 1}, {7, 'N', 2}}};
    std::vector<LineSettings> settings;
    const auto add = [&](const LineSettings& s) {
        if (std::none_of(settings.begin(), settings.end(), [&](const LineSettings& t) { return t.baud == s.baud && t.framing == s.framing; }))
            settings.push_back(s);
    };
    for (const ProtocolInfo& info : Protocols())
        add({info.baud, info.framing});
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
    ProbeResult result;
    const std::int64_t start = line.NowMs();
    const auto timeFor = [&](int ms) {
        if (line.NowMs() - start + ms > budgetMs)
            result.timeUp = true;
        return !result.timeUp;
    };
    bool hungUp = false;
    // Shows the step and keeps what it found.
    const auto found = [&](const ProbeStep& step) {
        if (!step.bytes.empty() && shown)
            shown(step);
        for (const ProbeHit& hit : step.hits)
            addHit(result.hits, hit);
    };
    for (const LineSettings& settings : ProbeSettings()) {
        if (!timeFor(kProbeListenMs))
            break;
        std::string error;
        if (!line.Reopen(settings, error)) {
            if (result.settingsTried > 0)
                continue; // a speed or framing this port refuses
            result.error = error;
            return result;
        }
        ++result.settingsTried;
        ProbeStep heard{settings, nullptr, collect(line, kProbeListenMs, hungUp, [](const std::string&) { return false; }), {}};
        for (const ProtocolInfo& info : Protocols())
            if (std::optional<ProbeHit> hit = decode(info.protocol, settings, heard.bytes, false))
                heard.hits.push_back(*hit);
        found(heard);
        for (const ProtocolInfo& info : Protocols()) {
            if (info.request.empty() || hungUp || !timeFor(kProbeAnswerMs))
                continue;
            line.Send(info.request);
            std::optional<ProbeHit> hit;
            ProbeStep answer{settings, &info, collect(line, kProbeAnswerMs, hungUp, [&](const std::string& got) {
                                 return (hit = decode(info.protocol, settings, got, true)).has_value();
                             }), {}};
            if (hit)
                answer.hits.push_back(*hit);
            found(answer);
        }
        if (hungUp) {
            result.error = "the line hung up (was the adapter pulled?)";
            break;
        }
        if (result.timeUp)
            break;
    }
    std::stable_sort(result.hits.begin(), result.hits.end(), BetterHit);
    return result;
}

}
