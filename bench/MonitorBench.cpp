// tarabo-scales monitor and the replay driver:
// - from a HID report arriving (sent into the fake's socket pair) to monitor's line written to a
//   pipe, against the raw floor: a thread that polls the same socket pair, reads the report and
//   writes its line in hex;
// - the CPU monitor uses while nothing arrives, as a share of one core;
// - a report every millisecond for a second: how many monitor shows (none may be lost);
// - ReadWeight (ClearInput, then ReadWeight through the control) on a replay of a capture of an
//   MT-SICS fake on a pty, against ReadWeight on the fake itself.
// Prints "name value" lines; medians.
#include "tests/opos/HidTestScale.h"
#include "bench/ControlCalls.h"
#include "tests/support/FakeSerialScale.h"
#include "bench/ProcessStats.h"

#include "opos/DeviceRegistry.h"
#include "opos/Opos.h"
#include "opos/TrafficTap.h"
#include "opos/config/ScalesConfig.h"
#include "opos/replay/CaptureRecorder.h"
#include "opos/serial/SerialScale.h"
#include "scales-tool/Monitor.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr int kLatencyReports = 2000, kStreamReports = 1000;
constexpr int kReadBatches = 5, kReadsPerBatch = 500;

hidtest::Bytes report(int grams) { return {0x03, 0x04, 0x02, 0x00, std::uint8_t(grams), std::uint8_t(grams >> 8)}; }

// Reads the pipe until `lines` more newlines have come (false after a second of nothing).
bool readLines(int fd, int lines, std::string* text = nullptr)
{
    char buffer[4096];
    while (lines > 0) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 1000) != 1)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n; ++i)
            lines -= buffer[i] == '\n';
        if (text)
            text->append(buffer, std::size_t(n));
    }
    return true;
}

// Microseconds from each report sent to `lines` lines read from the pipe; median.
double medianLatencyUs(hidtest::FakeHidScale& fake, int pipeFd, int lines)
{
    std::vector<double> us;
    for (int i = 0; i < kLatencyReports; ++i) {
        const auto start = Clock::now();
        fake.Send(report(1000 + i % 2));
        if (!readLines(pipeFd, lines))
            return -1;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return Median(us);
}

// The floor: a reader that shows each report as a line, and nothing more.
double rawLatencyUs()
{
    hidtest::FakeHidScale fake;
    const opos::HidConnection c = fake.Connection();
    int lines[2], stop[2];
    if (::pipe(lines) != 0 || ::pipe(stop) != 0)
        return -1;
    std::thread reader([&] {
        for (;;) {
            pollfd fds[2] = {{c.fd, POLLIN, 0}, {stop[0], POLLIN, 0}};
            ::poll(fds, 2, -1);
            if (fds[1].revents)
                return;
            std::uint8_t bytes[64];
            const ssize_t n = ::read(c.fd, bytes, sizeof bytes);
            const std::string line = opos::HexText(bytes, std::size_t(std::max<ssize_t>(n, 0))) + "\n";
            if (::write(lines[1], line.data(), line.size()) < 0)
                return;
        }
    });
    const double us = medianLatencyUs(fake, lines[0], 1);
    [[maybe_unused]] const ssize_t stopped = ::write(stop[1], "x", 1);
    reader.join();
    for (int fd : {lines[0], lines[1], stop[0], stop[1], c.fd})
        ::close(fd);
    return us;
}

int monitorFigures()
{
    hidtest::FakeHidScale fake;
    opos::DeviceOverride device(u"MONBENCH", [&] { return opos::OpenHidConnection(fake.Connection()); });
    int lines[2], stop[2];
    if (::pipe(lines) != 0 || ::pipe(stop) != 0)
        return 1;
    // The lines go to the pipe through stdio at each flush, as stdout's do.
    std::FILE* const pipeOut = ::fdopen(lines[1], "w");
    if (!pipeOut || std::setvbuf(pipeOut, nullptr, _IOFBF, 1 << 16) != 0)
        return 1;
    FileOut out(pipeOut);
    StringOut err;
    int status = -1;
    std::thread monitor([&] { status = RunMonitor("MONBENCH", {}, stop[0], out, err); });
    // Opened, the description, then the stale first report and why it was passed over.
    fake.Send(report(500));
    std::string start;
    if (!readLines(lines[0], 4, &start)) {
        std::fprintf(stderr, "monitor bench: monitor did not start: %s%s\n", start.c_str(), err.str().c_str());
        return 1;
    }
    // Each report: its line and its reading's.
    std::printf("monitor_line_tarabo_us %.3f\n", medianLatencyUs(fake, lines[0], 2));
    std::printf("monitor_line_floor_us %.3f\n", rawLatencyUs());

    constexpr double kIdleSeconds = 2;
    const double cpuStart = bench::CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
    std::printf("monitor_idle_seconds %.1f\n", kIdleSeconds);
    std::printf("monitor_idle_cpu_percent %.4f\n", 100.0 * (bench::CpuSeconds() - cpuStart) / kIdleSeconds);

    std::thread stream([&] {
        for (int i = 0; i < kStreamReports; ++i) {
            fake.Send(report(2000 + i % 2));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::string streamed;
    readLines(lines[0], 2 * kStreamReports, &streamed);
    stream.join();
    std::size_t shown = 0;
    for (std::size_t at = 0; (at = streamed.find("  <  03 04", at)) != std::string::npos; ++at)
        ++shown;
    std::printf("monitor_stream_reports %d\n", kStreamReports);
    std::printf("monitor_stream_shown %zu\n", shown);

    [[maybe_unused]] const ssize_t stopped = ::write(stop[1], "x", 1);
    monitor.join();
    std::fclose(pipeOut);
    for (int fd : {lines[0], stop[0], stop[1]})
        ::close(fd);
    return status == 0 && shown == std::size_t(kStreamReports) ? 0 : 1;
}

struct EnabledScale
{
    std::unique_ptr<CHostedControl> control = AfxCreateControlInstance(opos::kScaleControlClsid);
    explicit EnabledScale(const char* name)
    {
        LONG result = -1;
        AfxInvokeHelper<LONG, const char*>(control.get(), opos::dispid::Open, DISPATCH_METHOD, VT_I4, &result, VTS_BSTR, name);
        AfxInvokeHelper<LONG, LONG>(control.get(), opos::dispid::Claim, DISPATCH_METHOD, VT_I4, &result, VTS_I4, 0);
        AfxSetProperty(control.get(), opos::dispid::DeviceEnabled, VT_BOOL, LONG(1));
    }
    ~EnabledScale() { Method(control.get(), opos::dispid::Close); }
    // Microseconds per read over a batch; -1 when a read fails.
    double Batch()
    {
        const auto start = Clock::now();
        for (int i = 0; i < kReadsPerBatch; ++i) {
            LONG weight = 0;
            Method(control.get(), opos::dispid::ClearInput);
            if (ReadWeight(control.get(), weight, 1000) != OPOS_SUCCESS || weight != 1250)
                return -1;
        }
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kReadsPerBatch;
    }
};

int replayFigures()
{
    FakeSerialScale fake('\n', [](const std::string&, int, std::int64_t) { return std::vector<std::string>{"S S      1.250 kg\r\n"}; });
    const opos::serial::SerialSettings settings{fake.Path(), opos::serial::Protocol::Sics, {9600, {8, 'N', 1}}};
    opos::DeviceOverride device(u"REPLAYBENCH-LIVE", [&] { return std::make_unique<opos::serial::SerialScale>(settings); });
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tarabo-bench-replay-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream capture(dir / "fake.cap");
        opos::CaptureRecorder recorder([&capture](std::string_view text) { capture << text; }, "bench");
        opos::TrafficTapOverride tap(recorder);
        EnabledScale scale("REPLAYBENCH-LIVE");
        scale.Batch();
    }
    std::ofstream(dir / "scales.conf") << "[REPLAYBENCH]\ndriver = replay\nfile = fake.cap\nloop = true\n";
    opos::ConfigFilesOverride conf({(dir / "scales.conf").string()});
    std::vector<double> live, replay;
    for (int b = 0; b < kReadBatches; ++b) {
        live.push_back(EnabledScale("REPLAYBENCH-LIVE").Batch());
        replay.push_back(EnabledScale("REPLAYBENCH").Batch());
    }
    std::filesystem::remove_all(dir);
    if (std::count(live.begin(), live.end(), -1.0) || std::count(replay.begin(), replay.end(), -1.0)) {
        std::fprintf(stderr, "monitor bench: a read of the replay or the fake failed\n");
        return 1;
    }
    std::printf("replay_read_tarabo_us %.3f\n", Median(replay));
    std::printf("replay_read_fake_us %.3f\n", Median(live));
    return 0;
}

}

int main()
{
    const int monitor = monitorFigures();
    return replayFigures() | monitor;
}
