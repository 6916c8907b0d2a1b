// ReadWeight on a serial scale at the far end of a pseudo-terminal (an MT-SICS fake that answers
// at once):
// - the time per read through the control as the console calls it (ClearInput, then ReadWeight),
//   against the raw request/answer round trip with the same fake (write, poll, read the line);
// - the CPU a read uses while it waits a whole time-out for a scale in motion, as a share of
//   one core (the fake's own thread not counted).
// - for a streaming scale (Toledo-style continuous output), the time from a frame's last byte to
//   ReadWeight returning against a raw reader waiting for the same frame, the CPU of a read that
//   waits a whole time-out while the scale streams motion, and the CPU of the whole process
//   (the fake's thread included) while the scale streams ten frames a second and nothing reads.
// Prints "name value" lines; medians of 7 batches.
#include "bench/ControlCalls.h"
#include "tests/support/FakeSerialScale.h"
#include "bench/ProcessStats.h"

#include "opos/DeviceRegistry.h"
#include "opos/Opos.h"
#include "opos/serial/SerialScale.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr int kBatches = 7, kReadsPerBatch = 1000;
const std::string kRequest = "SI\r\n";

// Microseconds per read over one batch; -1 when a read fails.
template <class Read>
double MicrosecondsPerRead(Read read)
{
    const auto start = Clock::now();
    for (int i = 0; i < kReadsPerBatch; ++i)
        if (!read())
            return -1;
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kReadsPerBatch;
}

// The floor: what any program pays per request and answer on the same line.
double RawRoundTripUs(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    const double us = MicrosecondsPerRead([fd] {
        if (::write(fd, kRequest.data(), kRequest.size()) != ssize_t(kRequest.size()))
            return false;
        std::string answer;
        while (answer.empty() || answer.back() != '\n') {
            pollfd entry{fd, POLLIN, 0};
            char buffer[64];
            if (::poll(&entry, 1, 1000) != 1)
                return false;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                answer.append(buffer, std::size_t(n));
        }
        return true;
    });
    ::close(fd);
    return us;
}

// The control, opened, claimed and enabled on the installed scale, closed when it goes.
struct EnabledScale
{
    std::unique_ptr<CHostedControl> control = AfxCreateControlInstance(opos::kScaleControlClsid);
    LONG opened = -1;
    explicit EnabledScale(const char* name = "SERIALBENCH")
    {
        LONG result = -1;
        AfxInvokeHelper<LONG, const char*>(control.get(), opos::dispid::Open, DISPATCH_METHOD, VT_I4, &opened, VTS_BSTR, name);
        AfxInvokeHelper<LONG, LONG>(control.get(), opos::dispid::Claim, DISPATCH_METHOD, VT_I4, &result, VTS_I4, 0);
        AfxSetProperty(control.get(), opos::dispid::DeviceEnabled, VT_BOOL, LONG(1));
    }
    ~EnabledScale() { Method(control.get(), opos::dispid::Close); }
};

constexpr int kStreamReads = 40;
const std::string kStable = "\x02-0 001250000000\r", kMoving = "\x02-8 001170000000\r";

double MicrosecondsSince(Clock::time_point then) { return std::chrono::duration<double, std::micro>(Clock::now() - then).count(); }

// The floor for a streaming scale: flush, then wait for the next whole frame on the bare line.
double RawStreamLatencyUs(const std::string& path, const FakeSerialScale& fake)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    std::vector<double> latencies;
    for (int i = 0; i < kStreamReads; ++i) {
        tcflush(fd, TCIFLUSH);
        std::string bytes;
        for (std::size_t stx; (stx = bytes.find('\x02')) == std::string::npos || bytes.find('\r', stx) == std::string::npos;) {
            pollfd entry{fd, POLLIN, 0};
            char buffer[64];
            if (::poll(&entry, 1, 1000) != 1)
                return -1;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, std::size_t(n));
        }
        latencies.push_back(MicrosecondsSince(fake.LastWrite()));
    }
    ::close(fd);
    return Median(latencies);
}

// ClearInput and ReadWeight as the console calls them, from the frame's last byte to the return.
double TaraboStreamLatencyUs(const FakeSerialScale& fake)
{
    EnabledScale scale("SERIALSTREAMBENCH");
    std::vector<double> latencies;
    for (int i = 0; i < kStreamReads; ++i) {
        LONG weight = 0;
        Method(scale.control.get(), opos::dispid::ClearInput);
        if (ReadWeight(scale.control.get(), weight, 1000) != OPOS_SUCCESS || weight != 1250)
            return -1;
        latencies.push_back(MicrosecondsSince(fake.LastWrite()));
    }
    return Median(latencies);
}

// The streaming rows; false when a read fails.
bool StreamingRows()
{
    // Fifty frames a second keeps the batches short; the latency is per frame, not per period.
    std::atomic<bool> moving{false};
    FakeSerialScale fast("", [&](const std::string&, int, std::int64_t) -> std::vector<std::string> { return {moving ? kMoving : kStable}; }, 20);
    const opos::serial::SerialSettings settings{fast.Path(), opos::serial::Protocol::ToledoContinuous, {9600, {7, 'E', 1}}};
    opos::DeviceOverride device(u"SERIALSTREAMBENCH", [&] { return std::make_unique<opos::serial::SerialScale>(settings); });
    std::vector<double> tarabo, floor;
    for (int b = 0; b < kBatches; ++b) {
        tarabo.push_back(TaraboStreamLatencyUs(fast));
        floor.push_back(RawStreamLatencyUs(fast.Path(), fast));
    }
    if (std::count(tarabo.begin(), tarabo.end(), -1.0) || std::count(floor.begin(), floor.end(), -1.0))
        return false;
    std::printf("stream_read_tarabo_us %.3f\n", Median(tarabo));
    std::printf("stream_read_floor_us %.3f\n", Median(floor));

    constexpr LONG kTimeoutMs = 3000;
    EnabledScale scale("SERIALSTREAMBENCH");
    moving = true;
    LONG weight = 0;
    const double cpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    const LONG result = ReadWeight(scale.control.get(), weight, kTimeoutMs);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("stream_wait_result %ld\n", long(result));
    std::printf("stream_wait_cpu_percent %.4f\n", 100.0 * (ThreadCpuSeconds() - cpuStart) / wall);
    return result == OPOS_E_TIMEOUT;
}

// Ten frames a second to an enabled control that nothing reads.
void IdleStreamRow()
{
    FakeSerialScale slow("", [](const std::string&, int, std::int64_t) -> std::vector<std::string> { return {kStable}; }, 100);
    const opos::serial::SerialSettings settings{slow.Path(), opos::serial::Protocol::ToledoContinuous, {9600, {7, 'E', 1}}};
    opos::DeviceOverride device(u"SERIALIDLEBENCH", [&] { return std::make_unique<opos::serial::SerialScale>(settings); });
    EnabledScale scale("SERIALIDLEBENCH");
    constexpr double kSeconds = 3;
    const int framesBefore = slow.Requests();
    const double cpuStart = bench::CpuSeconds();
    const auto start = Clock::now();
    ::poll(nullptr, 0, int(kSeconds * 1000));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("stream_idle_frames %d\n", slow.Requests() - framesBefore);
    std::printf("stream_idle_seconds %.3f\n", wall);
    std::printf("stream_idle_cpu_percent %.4f\n", 100.0 * (bench::CpuSeconds() - cpuStart) / wall);
}

}

int main()
{
    std::atomic<bool> moving{false};
    FakeSerialScale fake('\n', [&](const std::string&, int, std::int64_t) -> std::vector<std::string> {
        return {moving ? "S D      1.170 kg\r\n" : "S S      1.250 kg\r\n"};
    });
    const opos::serial::SerialSettings settings{fake.Path(), opos::serial::Protocol::Sics, {9600, {8, 'N', 1}}};
    opos::DeviceOverride device(u"SERIALBENCH", [&] { return std::make_unique<opos::serial::SerialScale>(settings); });

    // Batches of the two alternate, so a busy machine slows both alike; the line is held by one
    // of them at a time.
    std::vector<double> tarabo, floor;
    for (int b = 0; b < kBatches; ++b) {
        {
            EnabledScale scale;
            tarabo.push_back(MicrosecondsPerRead([&] {
                LONG weight = 0;
                Method(scale.control.get(), opos::dispid::ClearInput);
                return ReadWeight(scale.control.get(), weight, 1000) == OPOS_SUCCESS && weight == 1250;
            }));
        }
        floor.push_back(RawRoundTripUs(fake.Path()));
    }
    if (std::count(tarabo.begin(), tarabo.end(), -1.0) || std::count(floor.begin(), floor.end(), -1.0)) {
        std::fprintf(stderr, "serial bench: a read failed\n");
        return 1;
    }
    std::printf("serial_read_tarabo_us %.3f\n", Median(tarabo));
    std::printf("serial_read_floor_us %.3f\n", Median(floor));

    // A whole time-out in motion: the read asks again after each answer and sleeps in between.
    constexpr LONG kTimeoutMs = 3000;
    EnabledScale scale;
    moving = true;
    const int requestsBefore = fake.Requests();
    LONG weight = 0;
    const double cpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    const LONG result = ReadWeight(scale.control.get(), weight, kTimeoutMs);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("serial_wait_result %ld\n", long(result));
    std::printf("serial_wait_seconds %.3f\n", wall);
    std::printf("serial_wait_requests %d\n", fake.Requests() - requestsBefore);
    std::printf("serial_wait_cpu_percent %.4f\n", 100.0 * cpu / wall);
    if (!StreamingRows()) {
        std::fprintf(stderr, "serial bench: a streaming read failed\n");
        return 1;
    }
    IdleStreamRow();
    return result == OPOS_E_TIMEOUT ? 0 : 1;
}
