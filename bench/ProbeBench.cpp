// tarabo-scales probe (the thorough search) on pseudo-terminal fakes: one scale of each protocol
// family, each at a speed other than its usual one, answering (or streaming) only while the port
// is set to that speed, and sending garbage at others when it streams; and a port where nothing
// answers. For each family: the time until the probe prints the section that names the scale's
// protocol and speed, against the floor, a search that knows the protocol and only looks for the
// settings (its own request, or a listen, at each setting in the same order, 300 ms each).
// Prints "name value" lines: probe_<family>_s, floor_<family>_s, probe_<family>_ok,
// probe_<family>_at, the medians, and probe_nothing_s. TARABO_BENCH_VERBOSE=1 shows each probe's
// output.
#include "bench/Median.h"
#include "tests/support/FakeSerialScale.h"

#include "opos/serial/SerialProbe.h"
#include "scales-tool/ProbeCommand.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace opos::serial;
using Clock = std::chrono::steady_clock;

// A documented frame of each family (tests/answers); an ENQ/DC1 scale answers ENQ with ACK. Each
// at a speed other than its usual one, spread over the probe's order, with its usual framing: a
// pty keeps the speed and the stop bits, not the parity or the character size, so at that speed
// every framing of one stop bit reads the scale, and the ranking names the usual one.
struct Family
{
    Protocol protocol;
    std::string frame;
    int baud;
    LineSettings at() const { return {baud, Info(protocol).framing}; }
};
const Family kFamilies[] = {
    {Protocol::Toledo, "\x02" "001.25\r", 2400},
    {Protocol::Nci, "\n0001.25LB\r\n00\r\x03", 19200},
    {Protocol::Sics, "S S      1.250 g\r\n", 4800},
    {Protocol::ToledoContinuous, "\x02-0 001250000000\r", 38400},
    {Protocol::ToledoContinuousChecked, "\x02-0 001250000000\r\x2c", 1200},
    {Protocol::TextStream, "ST,GS,+001.250kg\r\n", 57600},
    {Protocol::Sma, "\n 1G       5.025lb \r", 2400},
    {Protocol::ScannerScale, "S14401250\r", 115200},
    {Protocol::EnqDc1, "\x06", 1200},
};

// The settings the port is set to now, read through a descriptor of our own on the pty.
LineSettings portSettings(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return {};
    const struct { speed_t speed; int baud; } speeds[] = {{B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600},
                                                          {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    LineSettings now{};
    for (const auto& s : speeds)
        if (cfgetospeed(&tio) == s.speed)
            now.baud = s.baud;
    now.framing.dataBits = (tio.c_cflag & CSIZE) == CS7 ? 7 : 8;
    now.framing.parity = !(tio.c_cflag & PARENB) ? 'N' : (tio.c_cflag & PARODD) ? 'O' : 'E';
    now.framing.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return now;
}

// The scale of a family on a pty: it answers, or streams ten frames a second, at its settings;
// streaming at others, the line carries garbage.
struct PtyScale
{
    explicit PtyScale(const Family& family)
        : info(Info(family.protocol)),
          fake(info.streaming ? "" : terminators(info.request), [this, family](const std::string& request, int, std::int64_t) {
              const LineSettings now = portSettings(watch);
              // A pty keeps the speed and the stop bits, not the parity or the character size.
              const bool matches = now.baud == family.baud && now.framing.stopBits == family.at().framing.stopBits;
              if (info.streaming)
                  return std::vector<std::string>{matches ? family.frame : std::string(family.frame.size(), '\xf0')};
              const bool asked = !family.frame.empty() && request.find(info.request) != std::string::npos;
              return matches && asked ? std::vector<std::string>{family.frame} : std::vector<std::string>{};
          }, info.streaming ? 100 : 0)
    {
        watch = ::open(fake.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PtyScale()
    {
        fake.HangUp();
        ::close(watch);
    }
    static std::string terminators(std::string_view request) { return std::string(1, request.back()); }

    const ProtocolInfo& info;
    std::atomic<int> watch{-1};
    FakeSerialScale fake;
};

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The whole probe, as a user runs it; true when its section names the family's protocol and settings.
bool probe(const std::string& path, const Family* family, double& seconds)
{
    StringOut out, err;
    const auto start = Clock::now();
    const int status = RunProbeCommand({path}, out, err);
    seconds = secondsSince(start);
    bool ok = status == 1 && out.str().find("No scale answered") != std::string::npos;
    if (family) {
        const std::string section = "protocol = " + std::string(Info(family->protocol).name) + "\nbaud = " +
                                    std::to_string(family->baud) + "\nframing = " + FramingText(family->at().framing) + "\n";
        ok = status == 0 && out.str().find(section) != std::string::npos;
    }
    if (!ok || std::getenv("TARABO_BENCH_VERBOSE")) // what it said, for the run's diagnostics
        std::fprintf(stderr, "%s%s\n", out.str().c_str(), err.str().c_str());
    return ok;
}

// The floor: the family's own request (or a listen) at each setting in the probe's order until
// its protocol understands what came.
double floorSeconds(const std::string& path, const Family& family)
{
    const std::unique_ptr<ProbeLine> line = OpenProbeLine(path);
    const ProtocolInfo& info = Info(family.protocol);
    const auto start = Clock::now();
    for (const LineSettings& settings : ProbeSettings()) {
        std::string error, bytes;
        if (!line->Reopen(settings, error))
            return -1;
        if (!info.request.empty())
            line->Send(info.request);
        for (const std::int64_t end = line->NowMs() + kProbeAnswerMs; line->NowMs() < end;) {
            line->Receive(int(end - line->NowMs()), bytes);
            for (std::string_view rest = bytes; !rest.empty();) {
                const Parsed parsed = ParseFrame(family.protocol, rest);
                if (parsed.frame && parsed.frame->kind != FrameKind::NotUnderstood)
                    return secondsSince(start);
                if (parsed.consumed == 0)
                    break;
                rest.remove_prefix(std::min(parsed.consumed, rest.size()));
            }
        }
    }
    return -1;
}

}

// bench_probe [FAMILY]: one family only, without the port where nothing answers.
int main(int argc, char** argv)
{
    std::vector<double> found, floors;
    bool allFound = true;
    for (const Family& family : kFamilies) {
        const std::string name(Info(family.protocol).name);
        if (argc > 1 && name != argv[1])
            continue;
        double seconds = 0;
        bool ok = false;
        {
            PtyScale scale(family);
            ok = probe(scale.fake.Path(), &family, seconds);
        }
        PtyScale again(family);
        const double floor = floorSeconds(again.fake.Path(), family);
        std::printf("probe_%s_s %.2f\nfloor_%s_s %.2f\nprobe_%s_ok %d\nprobe_%s_at %d_%s\n", name.c_str(), seconds, name.c_str(), floor,
                    name.c_str(), ok, name.c_str(), family.baud, FramingText(family.at().framing).c_str());
        std::fflush(stdout);
        found.push_back(seconds);
        floors.push_back(floor);
        allFound = allFound && ok && floor >= 0;
    }
    if (argc > 1)
        return allFound ? 0 : 1;
    Family silent{Protocol::Toledo, "", 9600};
    PtyScale nothing(silent);
    double seconds = 0;
    const bool said = probe(nothing.fake.Path(), nullptr, seconds);
    std::printf("probe_median_s %.2f\nfloor_median_s %.2f\nprobe_max_s %.2f\nprobe_all_found %d\nprobe_nothing_s %.2f\nprobe_nothing_said %d\n",
                bench::Median(found), bench::Median(floors), *std::max_element(found.begin(), found.end()), allFound, seconds, said);
    return allFound && said ? 0 : 1;
}
